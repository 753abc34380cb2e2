# yyjson compiled from its source into pbq (PBQ_YYJSON_FROM_SOURCE), for artifacts that must
# not depend on a system yyjson: the Debian packages for Debian 12, the wheel, the npm package,
# the jar, the WebAssembly and cross builds. Its functions get hidden visibility
# (yyjson_api emptied), so the shared library's export map keeps them out of the dynamic
# table, and the static library localizes them after a partial link (pbq_static_archive
# below), so neither can clash with, or bind to, another yyjson in the same host.
if(NOT EXISTS "${PBQ_YYJSON_SOURCE_DIR}/src/yyjson.c")
  message(FATAL_ERROR "PBQ_YYJSON_FROM_SOURCE: no src/yyjson.c under PBQ_YYJSON_SOURCE_DIR "
    "(${PBQ_YYJSON_SOURCE_DIR}). scripts/fetch-yyjson.sh fetches Debian's source of yyjson 0.10.0 there.")
endif()
file(STRINGS "${PBQ_YYJSON_SOURCE_DIR}/src/yyjson.h" pbq_yyjson_version_line
     REGEX "^#define YYJSON_VERSION_STRING ")
if(NOT pbq_yyjson_version_line MATCHES "\"0\\.(1[0-9]|[2-9][0-9])\\.")
  message(FATAL_ERROR "PBQ_YYJSON_SOURCE_DIR holds yyjson ${pbq_yyjson_version_line}; pbq needs 0.10 or later")
endif()

add_library(pbq_yyjson_objects OBJECT "${PBQ_YYJSON_SOURCE_DIR}/src/yyjson.c")
target_compile_definitions(pbq_yyjson_objects PUBLIC yyjson_api=)
set_target_properties(pbq_yyjson_objects PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  C_VISIBILITY_PRESET hidden)
add_library(pbq_yyjson STATIC $<TARGET_OBJECTS:pbq_yyjson_objects>)
# The header is a system header for everything in this build, as with the package.
target_include_directories(pbq_yyjson SYSTEM PUBLIC "${PBQ_YYJSON_SOURCE_DIR}/src")
target_compile_definitions(pbq_yyjson PUBLIC yyjson_api=)
target_include_directories(pbq_yyjson_objects SYSTEM PUBLIC "${PBQ_YYJSON_SOURCE_DIR}/src")
# Everything in this build that names yyjson::yyjson (the library, the CLI, the tests'
# reference model) gets this copy.
add_library(yyjson::yyjson ALIAS pbq_yyjson)

# The static libpbq.a as one relocatable object: pbq's objects and yyjson's, linked with
# -r so that pbq's calls into yyjson are resolved inside it, then every strong name but the
# pbq_ functions made local (cmake/localize_static.cmake). A host linking libpbq.a needs no
# yyjson and sees none of its names, nor pbq's internal ones. Weak names (C++ inline
# functions in COMDAT groups) stay global, to be merged with a host's copies.
function(pbq_static_archive_object out)
  set(merged "${PROJECT_BINARY_DIR}/pbq_static_object/libpbq${CMAKE_C_OUTPUT_EXTENSION}")
  # Without them libpbq.a would carry yyjson's names for any host to clash with: no
  # static library rather than that one.
  if(NOT CMAKE_OBJCOPY OR NOT CMAKE_NM)
    message(FATAL_ERROR "PBQ_YYJSON_FROM_SOURCE: libpbq.a needs objcopy and nm to hide yyjson's names "
      "(found objcopy '${CMAKE_OBJCOPY}', nm '${CMAKE_NM}'); install binutils for this target")
  endif()
  set(localize COMMAND "${CMAKE_COMMAND}" "-DNM=${CMAKE_NM}" "-DOBJCOPY=${CMAKE_OBJCOPY}" "-DOBJECT=${merged}"
                       -P "${PROJECT_SOURCE_DIR}/cmake/localize_static.cmake")
  add_custom_command(OUTPUT "${merged}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/pbq_static_object"
    COMMAND "${CMAKE_CXX_COMPILER}" -r -nostdlib -o "${merged}"
            "$<TARGET_OBJECTS:pbq_objects>" "$<TARGET_OBJECTS:pbq_yyjson_objects>"
    ${localize}
    DEPENDS "$<TARGET_OBJECTS:pbq_objects>" "$<TARGET_OBJECTS:pbq_yyjson_objects>"
            "${PROJECT_SOURCE_DIR}/cmake/localize_static.cmake"
    COMMAND_EXPAND_LISTS VERBATIM
    COMMENT "Linking pbq and yyjson into one object for libpbq.a")
  set(${out} "${merged}" PARENT_SCOPE)
endfunction()
