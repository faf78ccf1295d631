# Which platform layer the library is built on. src/platform/*.cpp holds the
# POSIX primitives and the few that know no OS at all; src/platform/windows/
# holds their Windows counterparts (the Windows file API, the thread's ANSI
# code page); the task allocator there is the system's (ole32). Nothing else
# in src/ knows the OS.
set(TAGMILL_PORTABLE_PLATFORM allocation.cpp faults.cpp flush_switch.cpp memory_buffers.cpp)

if(WIN32)
  list(FILTER TAGMILL_SOURCES EXCLUDE REGEX "/src/platform/[^/]+\\.cpp$")
  foreach(file ${TAGMILL_PORTABLE_PLATFORM})
    list(APPEND TAGMILL_SOURCES ${PROJECT_SOURCE_DIR}/src/platform/${file})
  endforeach()
else()
  list(FILTER TAGMILL_SOURCES EXCLUDE REGEX "/src/platform/windows/")
endif()

# On Windows the same objects make two libraries: the static
# library and a DLL that exports CTagmill and its records (TAGMILL_API in the
# public headers). A host of the DLL compiles with TAGMILL_DLL defined, which
# the CMake package and the pkg-config file pass on.
set(TAGMILL_DLL_TARGET)
set(TAGMILL_PC_CFLAGS)
set(TAGMILL_PC_LIBS_PRIVATE)
if(WIN32)
  set(TAGMILL_DLL_TARGET tagmill_dll)
  set(TAGMILL_PC_CFLAGS " -DTAGMILL_DLL")
  set(TAGMILL_PC_LIBS_PRIVATE "-lole32")
endif()

# Every Windows source that includes <windows.h> gets it without min/max
# macros and without the rarely used parts.
if(WIN32)
  add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)
endif()

function(tagmill_platform_library target)
  if(NOT WIN32)
    return()
  endif()
  # UNICODE: every Windows call the library makes is the wide one.
  target_compile_definitions(${target} PRIVATE TAGMILL_BUILDING UNICODE _UNICODE)
  target_link_libraries(${target} PUBLIC ole32)
  add_library(tagmill_dll SHARED $<TARGET_OBJECTS:${target}>)
  add_library(Tagmill::tagmill_dll ALIAS tagmill_dll)
  set_target_properties(tagmill_dll PROPERTIES OUTPUT_NAME tagmill)
  target_compile_definitions(tagmill_dll INTERFACE TAGMILL_DLL)
  target_include_directories(tagmill_dll
    PUBLIC
      $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
      $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(tagmill_dll PRIVATE ole32)
endfunction()
