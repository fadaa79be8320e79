# GoogleTest built with the project from its sources, for a target system that has no GoogleTest
# package (the Windows cross build uses the sources Debian's libgtest-dev ships).
set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
if(NOT EXISTS "${GOOGLETEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "No GoogleTest for the tests: install it for this system, set GOOGLETEST_SOURCE_DIR "
                      "to its sources, or configure with -DQUILLPOST_TESTS=OFF.")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${GOOGLETEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
# Recent GoogleTest defines GTest::gtest and GTest::gmock itself.
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gmock ALIAS gmock)
endif()
