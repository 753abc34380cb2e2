# Installs the built project into a fresh prefix, then builds and runs the consumer
# programs against it twice: through find_package(pbq) and through pkg-config.
#   -DBUILD_DIR  the configured and built project
#   -DCONSUMER   tests/embed/consumer
#   -DWORK_DIR   scratch directory, emptied first
#   -DC_COMPILER, -DCXX_COMPILER, -DFLAGS (compile and link flags, e.g. sanitizers)
#   -DSTATIC     1 when the static library is built
#   -DCLI        1 when the command-line host is built
#   -DPLAYER     1 when pbq-play and pbq-make-album are built
#   -DLIBDIR     CMAKE_INSTALL_LIBDIR (lib, or lib/x86_64-linux-gnu with the prefix /usr)
#   -DSYSTEM_LIBDIR  1 when the configured library directory is one the system searches
#                (the prefix /usr): the tools then carry no RUNPATH
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(JOIN " " shown ${ARGN})
    message(FATAL_ERROR "failed (${rc}): ${shown}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_ok label)
  if(NOT run_output MATCHES "consumer ok")
    message(FATAL_ERROR "${label} said: ${run_output}")
  endif()
  message(STATUS "${label}: ${run_output}")
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

if(NOT DEFINED LIBDIR)
  set(LIBDIR lib)
endif()
set(expected include/pbq.h include/pbq.hpp ${LIBDIR}/libpbq.so.1.0.0 ${LIBDIR}/libpbq.so.1 ${LIBDIR}/libpbq.so
    ${LIBDIR}/cmake/pbq/pbqConfig.cmake ${LIBDIR}/cmake/pbq/pbqConfigVersion.cmake
    ${LIBDIR}/cmake/pbq/pbqTargets.cmake ${LIBDIR}/pkgconfig/pbq.pc)
if(STATIC)
  list(APPEND expected ${LIBDIR}/libpbq.a)
endif()
if(CLI)
  list(APPEND expected bin/pbq share/pbq/album.json)
endif()
if(PLAYER)
  list(APPEND expected bin/pbq-play bin/pbq-make-album)
endif()
foreach(f IN LISTS expected)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
foreach(link ${LIBDIR}/libpbq.so ${LIBDIR}/libpbq.so.1)
  if(NOT IS_SYMLINK ${prefix}/${link})
    message(FATAL_ERROR "${link} should be a link to libpbq.so.1.0.0")
  endif()
endforeach()

# The installed command-line host finds its library and its album by itself: through
# its RUNPATH ($ORIGIN/../LIBDIR), or, configured for a directory the system searches,
# as the system finds it there (here LD_LIBRARY_PATH stands for that), with no RUNPATH.
if(CLI)
  set(cli_env "")
  if(SYSTEM_LIBDIR)
    set(cli_env ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/${LIBDIR})
    run(readelf -d ${prefix}/bin/pbq)
    if(run_output MATCHES "RUNPATH|RPATH")
      message(FATAL_ERROR "pbq, installed for ${LIBDIR}, has a search path:\n${run_output}")
    endif()
  endif()
  run(${cli_env} ${prefix}/bin/pbq --version)
  if(NOT run_output MATCHES "pbq 1.0.0 \\(ABI 1\\)")
    message(FATAL_ERROR "installed pbq --version said: ${run_output}")
  endif()
  run(${cli_env} ${prefix}/bin/pbq --script ${prefix}/share/pbq/session.pbq)
  if(NOT run_output MATCHES "opened ${prefix}/bin/../share/pbq/album.json" OR NOT run_output MATCHES "self-test passed")
    message(FATAL_ERROR "installed pbq did not play its session:\n${run_output}")
  endif()
  if(PLAYER)
    run(${cli_env} ${prefix}/bin/pbq-play --help)
    if(NOT run_output MATCHES "pbq-play")
      message(FATAL_ERROR "installed pbq-play --help said: ${run_output}")
    endif()
  endif()
endif()

# 1. CMake package.
run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK_DIR}/cmake-build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    "-DCMAKE_C_FLAGS=${FLAGS}" "-DCMAKE_CXX_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/consumer_c)
expect_ok("find_package, C")
run(${WORK_DIR}/cmake-build/consumer_cpp)
expect_ok("find_package, C++")
if(STATIC)
  run(${WORK_DIR}/cmake-build/consumer_static)
  expect_ok("find_package, static")
  run(${WORK_DIR}/cmake-build/consumer_static_cpp)
  expect_ok("find_package, static C++")
  run(readelf -d ${WORK_DIR}/cmake-build/consumer_static)
  if(run_output MATCHES "libpbq")
    message(FATAL_ERROR "the static consumer still needs libpbq.so:\n${run_output}")
  endif()
endif()

# 1a. A C-only host project (project(... C)) finds the same package: its C programs build
# and run, whatever C++ feature the package's targets carry.
run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK_DIR}/cmake-build-c-only -DC_ONLY=ON
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${C_COMPILER} "-DCMAKE_C_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build-c-only)
run(${WORK_DIR}/cmake-build-c-only/consumer_c)
expect_ok("find_package from a C-only project")
if(STATIC)
  run(${WORK_DIR}/cmake-build-c-only/consumer_static)
  expect_ok("find_package from a C-only project, static")
endif()

# 1b. The same with clang, whose default is C++14: the C++ programs set no standard, so
# pbq::pbq and pbq::pbq_static must ask for C++17 (pbq.hpp stops with an #error below it).
find_program(CLANGXX clang++)
find_program(CLANG clang)
if(CLANGXX AND CLANG AND FLAGS STREQUAL "")
  run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK_DIR}/clang-build -DCMAKE_PREFIX_PATH=${prefix}
      -DCMAKE_C_COMPILER=${CLANG} -DCMAKE_CXX_COMPILER=${CLANGXX})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/clang-build)
  run(${WORK_DIR}/clang-build/consumer_cpp)
  expect_ok("find_package, C++ with clang at its default standard")
  if(STATIC)
    run(${WORK_DIR}/clang-build/consumer_static_cpp)
    expect_ok("find_package, static C++ with clang at its default standard")
  endif()
endif()

# 2. pkg-config.
set(pc_env ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/${LIBDIR}/pkgconfig)
run(${pc_env} pkg-config --modversion pbq)
if(NOT run_output MATCHES "^1\\.0\\.0")
  message(FATAL_ERROR "pkg-config --modversion pbq said: ${run_output}")
endif()
run(${pc_env} pkg-config --cflags --libs pbq)
string(STRIP "${run_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra UNIX_COMMAND "${FLAGS}")
run(${C_COMPILER} ${extra} ${CONSUMER}/consumer.c ${pc_flags} -o ${WORK_DIR}/pc_consumer_c)
run(${CXX_COMPILER} -std=c++17 ${extra} ${CONSUMER}/consumer.cpp ${pc_flags} -o ${WORK_DIR}/pc_consumer_cpp)
set(with_lib ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/${LIBDIR})
run(${with_lib} ${WORK_DIR}/pc_consumer_c)
expect_ok("pkg-config, C")
run(${with_lib} ${WORK_DIR}/pc_consumer_cpp)
expect_ok("pkg-config, C++")
