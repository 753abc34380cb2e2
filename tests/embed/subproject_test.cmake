# Builds a host project that takes pbq in as a part of its own build, four ways:
# add_subdirectory and FetchContent, each shared and static, with GoogleTest made
# unfindable. Checks that pbq brings nothing but its library: no test, example or
# tool target, no warning, no build type forced on the host, no install rule; and
# that the host runs.
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
foreach(how add_subdirectory fetchcontent)
  foreach(shared ON OFF)
    set(label "${how}, BUILD_SHARED_LIBS=${shared}")
    set(build ${WORK_DIR}/${how}-${shared})
    run(${CMAKE_COMMAND} --no-warn-unused-cli -S ${CMAKE_CURRENT_LIST_DIR}/subproject -B ${build}
        -DHOW=${how} -DPBQ_SOURCE=${PBQ_SOURCE} -DBUILD_SHARED_LIBS=${shared}
        -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
        -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
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
    run(${build}/host)
    if(NOT run_output MATCHES "host ok")
      message(FATAL_ERROR "${label}: the host said ${run_output}")
    endif()
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
