# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix thread
# flavour, which std::thread needs). Programs run under Wine: ctest and test
# discovery start them through the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAGMILL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAGMILL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAGMILL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAGMILL_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TAGMILL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine's own diagnostics would mix with the programs' output. The prefix is the
# caller's (WINEPREFIX; scripts/test-windows.sh makes a throwaway one).
find_program(TAGMILL_WINE NAMES wine64 wine)
if(TAGMILL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env;WINEDEBUG=-all;${TAGMILL_WINE})
endif()

# Programs carry the compiler's runtime inside them, so neither Wine nor a
# Windows machine has to find libstdc++-6.dll and friends.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# pkg-config must not offer the build machine's libraries (TagLib) to a
# Windows build.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TAGMILL_MINGW}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
