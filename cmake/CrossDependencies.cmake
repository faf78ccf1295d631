# Dependencies of the tests and the program when cross-compiling for Windows:
# GoogleTest is built from Debian's sources, and the header-only CLI11 and
# nlohmann-json are taken from the build machine's headers without the rest
# of its include directory (whose C library headers are the wrong ones).
set(TAGMILL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${TAGMILL_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_library(GTest::gtest ALIAS gtest)
add_library(GTest::gtest_main ALIAS gtest_main)

set(TAGMILL_HOST_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${TAGMILL_HOST_HEADERS})
foreach(package_dir CLI nlohmann)
  file(CREATE_LINK /usr/include/${package_dir} ${TAGMILL_HOST_HEADERS}/${package_dir} SYMBOLIC)
endforeach()
foreach(target CLI11::CLI11 nlohmann_json::nlohmann_json)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${TAGMILL_HOST_HEADERS})
endforeach()
