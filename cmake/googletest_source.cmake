# GoogleTest for a cross build: compiled from Debian's sources (libgtest-dev puts them
# in /usr/src/googletest) with the target's compiler, since the build machine's
# libgtest is built for the build machine.
set(PBQ_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources, for cross builds")
if(NOT EXISTS "${PBQ_GOOGLETEST_SOURCE_DIR}/googletest/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest's sources not found in PBQ_GOOGLETEST_SOURCE_DIR "
                      "(${PBQ_GOOGLETEST_SOURCE_DIR}): install libgtest-dev")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory("${PBQ_GOOGLETEST_SOURCE_DIR}/googletest" "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest)  # GoogleTest 1.12 makes these names itself
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
# gcc 12 at -O3 warns falsely (-Wrestrict) inside GoogleTest's own string code.
target_compile_options(gtest PRIVATE -Wno-restrict)
