# The one reading of include/pbq.h, where the version and the interface are written:
# the build, the packages, the SONAME (libpbq.so.PBQ_ABI_VERSION) and every check of an
# export table take them from here.
#   include(cmake/pbq_header.cmake): sets PBQ_VERSION_MAJOR, _MINOR, _PATCH, PBQ_VERSION,
#     PBQ_ABI_VERSION and PBQ_EXPORTS (the functions declared with PBQ_API, sorted;
#     exactly 26 of them, as the C interface is fixed at that).
#   cmake -P cmake/pbq_header.cmake exports|version: prints the names, one a line, or
#     the version (for scripts and tests).
get_filename_component(pbq_exports_header "${CMAKE_CURRENT_LIST_DIR}/../include/pbq.h" ABSOLUTE)
file(STRINGS "${pbq_exports_header}" pbq_version_lines
     REGEX "^#define PBQ_(VERSION_(MAJOR|MINOR|PATCH)|ABI_VERSION) [0-9]+$")
foreach(pbq_version_line IN LISTS pbq_version_lines)
  string(REGEX MATCH "^#define (PBQ_[A-Z_]+) ([0-9]+)$" unused "${pbq_version_line}")
  set(${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()
if(NOT DEFINED PBQ_VERSION_PATCH OR NOT DEFINED PBQ_ABI_VERSION)
  message(FATAL_ERROR "${pbq_exports_header} does not define PBQ_VERSION_MAJOR/MINOR/PATCH and PBQ_ABI_VERSION")
endif()
file(STRINGS "${pbq_exports_header}" pbq_exports_lines REGEX "^PBQ_API ")
set(PBQ_EXPORTS "")
foreach(pbq_exports_line IN LISTS pbq_exports_lines)
  if(NOT pbq_exports_line MATCHES "[ *](pbq_[a-z0-9_]+)\\(")
    message(FATAL_ERROR "${pbq_exports_header}: cannot read a function name in: ${pbq_exports_line}")
  endif()
  list(APPEND PBQ_EXPORTS "${CMAKE_MATCH_1}")
endforeach()
list(SORT PBQ_EXPORTS)
list(LENGTH PBQ_EXPORTS pbq_exports_count)
if(NOT pbq_exports_count EQUAL 26)
  message(FATAL_ERROR "${pbq_exports_header} declares ${pbq_exports_count} PBQ_API functions, not 26")
endif()
file(STRINGS "${pbq_exports_header}" pbq_exports_version REGEX "^#define PBQ_VERSION_STRING \"[^\"]+\"$")
set(PBQ_VERSION "${PBQ_VERSION_MAJOR}.${PBQ_VERSION_MINOR}.${PBQ_VERSION_PATCH}")
if(NOT pbq_exports_version STREQUAL "#define PBQ_VERSION_STRING \"${PBQ_VERSION}\"")
  message(FATAL_ERROR "${pbq_exports_header}: PBQ_VERSION_STRING is not \"${PBQ_VERSION}\" (${pbq_exports_version})")
endif()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  # CMAKE_ARGV3 is the word after -P FILE.
  if(CMAKE_ARGV3 STREQUAL "exports")
    list(JOIN PBQ_EXPORTS "\n" pbq_exports_text)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${pbq_exports_text}")
  elseif(CMAKE_ARGV3 STREQUAL "version")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${PBQ_VERSION}")
  else()
    message(FATAL_ERROR "usage: cmake -P pbq_header.cmake exports|version")
  endif()
endif()
