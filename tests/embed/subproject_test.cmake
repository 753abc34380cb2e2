# Builds a host project that takes pbq in as a part of its own build, four ways (then twice
# more as a C-only project, below):
# add_subdirectory and FetchContent, each shared and static, with GoogleTest made
# unfindable; the FetchContent ones with clang when it is there (its default is C++14:
# the host's C++ program sets no standard, pbq's target gives C++17). Checks that pbq
# brings nothing but its library: no test, example or tool target, no warning, no build
# type forced on the host, no install rule; and that the host runs. Then a host whose
# machine lacks xxhash's header must stop at configure time, told to install libxxhash-dev.
#   -DPBQ_SOURCE  the pbq checkout
#   -DWORK_DIR    scratch directory, emptied first
#   -DC_COMPILER, -DCXX_COMPILER
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(JOIN " " shown ${ARGN})
    message(FATAL_ERROR "failed (${rc}): ${shown}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
  set(run_errors "${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
find_program(CLANG clang)
find_program(CLANGXX clang++)
foreach(how add_subdirectory fetchcontent)
  foreach(shared ON OFF)
    set(label "${how}, BUILD_SHARED_LIBS=${shared}")
    set(build ${WORK_DIR}/${how}-${shared})
    set(cc ${C_COMPILER})
    set(cxx ${CXX_COMPILER})
    if(how STREQUAL "fetchcontent" AND CLANG AND CLANGXX)
      set(cc ${CLANG})
      set(cxx ${CLANGXX})
      string(APPEND label ", clang")
    endif()
    run(${CMAKE_COMMAND} --no-warn-unused-cli -S ${CMAKE_CURRENT_LIST_DIR}/subproject -B ${build}
        -DHOW=${how} -DPBQ_SOURCE=${PBQ_SOURCE} -DBUILD_SHARED_LIBS=${shared}
        -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
        -DCMAKE_C_COMPILER=${cc} -DCMAKE_CXX_COMPILER=${cxx})
    if(run_errors MATCHES "Warning|corpus")
      message(FATAL_ERROR "${label}: configuring warned:\n${run_errors}")
    endif()
    file(STRINGS ${build}/CMakeCache.txt build_type REGEX "^CMAKE_BUILD_TYPE:")
    if(NOT build_type MATCHES ":STRING=$")
      message(FATAL_ERROR "${label}: pbq set the host's ${build_type}")
    endif()

    run(${CMAKE_COMMAND} --build ${build} --target help)
    foreach(target pbq_tests pbq_wrapper_tests pbq_cli pbq_example pbq_internal pbq_static gtest)
      if(run_output MATCHES "\\.\\.\\. ${target}\n")
        message(FATAL_ERROR "${label}: the host's build has pbq's target ${target}")
      endif()
    endforeach()
    if(EXISTS ${build}/pbq/CTestTestfile.cmake OR EXISTS ${build}/_deps/pbq-build/CTestTestfile.cmake)
      message(FATAL_ERROR "${label}: pbq added tests to the host's build")
    endif()

    run(${CMAKE_COMMAND} --build ${build} -j 2)
    foreach(host host host_cpp)
      run(${build}/${host})
      if(NOT run_output MATCHES "host ok")
        message(FATAL_ERROR "${label}: ${host} said ${run_output}")
      endif()
    endforeach()
    run(readelf -d ${build}/host)
    if(shared AND NOT run_output MATCHES "Shared library: \\[libpbq\\.so\\.1\\]")
      message(FATAL_ERROR "${label}: the host does not use libpbq.so.1:\n${run_output}")
    elseif(NOT shared AND run_output MATCHES "libpbq")
      message(FATAL_ERROR "${label}: the host needs a shared libpbq:\n${run_output}")
    endif()

    run(${CMAKE_COMMAND} --install ${build} --prefix ${build}/installed)
    file(GLOB_RECURSE installed RELATIVE ${build}/installed ${build}/installed/*)
    if(NOT installed STREQUAL "bin/host")
      message(FATAL_ERROR "${label}: installing the host installed ${installed}")
    endif()
    message(STATUS "${label}: ok")
  endforeach()
endforeach()

# A C-only host project (project(... C)), which has no C++ compile features to give:
# configuring, building and running its C host, with add_subdirectory (shared) and
# FetchContent (static).
foreach(variant "add_subdirectory;ON" "fetchcontent;OFF")
  list(GET variant 0 how)
  list(GET variant 1 shared)
  set(label "${how}, BUILD_SHARED_LIBS=${shared}, a C-only host")
  set(build ${WORK_DIR}/c-only-${how}-${shared})
  run(${CMAKE_COMMAND} --no-warn-unused-cli -S ${CMAKE_CURRENT_LIST_DIR}/subproject -B ${build}
      -DHOW=${how} -DPBQ_SOURCE=${PBQ_SOURCE} -DBUILD_SHARED_LIBS=${shared} -DC_ONLY=ON
      -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
      -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
  if(run_errors MATCHES "Warning|Error")
    message(FATAL_ERROR "${label}: configuring warned:\n${run_errors}")
  endif()
  run(${CMAKE_COMMAND} --build ${build} -j 2)
  run(${build}/host)
  if(NOT run_output MATCHES "host ok")
    message(FATAL_ERROR "${label}: host said ${run_output}")
  endif()
  message(STATUS "${label}: ok")
endforeach()

# xxhash's header hidden from the search (as on a machine without libxxhash-dev): configuring
# fails and names the package.
execute_process(COMMAND ${CMAKE_COMMAND} --no-warn-unused-cli -S ${CMAKE_CURRENT_LIST_DIR}/subproject
                  -B ${WORK_DIR}/without-xxhash -DHOW=add_subdirectory -DPBQ_SOURCE=${PBQ_SOURCE}
                  "-DCMAKE_IGNORE_PATH=/usr/include;/usr/local/include"
                  -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0 OR NOT err MATCHES "install libxxhash-dev")
  message(FATAL_ERROR "without xxhash.h, configuring should fail naming libxxhash-dev (${rc}):\n${err}")
endif()
message(STATUS "without xxhash.h: configuring stops and names libxxhash-dev")
