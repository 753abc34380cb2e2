# xxhash is used header-only (XXH_INLINE_ALL), from Debian's libxxhash-dev. Its one
# header is found at configure time and copied into a folder of its own in the build
# tree: a cross build then sees that header without the build machine's whole
# /usr/include, which holds another architecture's headers (and MinGW does not search
# it at all). A sysroot's own xxhash.h wins over the build machine's.
find_file(PBQ_XXHASH_HEADER xxhash.h DOC "xxhash.h, from libxxhash-dev")
if(NOT PBQ_XXHASH_HEADER)
  find_file(PBQ_XXHASH_HEADER xxhash.h PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH
            DOC "xxhash.h, from libxxhash-dev")
endif()
if(NOT PBQ_XXHASH_HEADER)
  message(FATAL_ERROR "xxhash.h not found: install libxxhash-dev (scripts/install-deps.sh does), "
                      "or pass -DPBQ_XXHASH_HEADER=/path/to/xxhash.h")
endif()
configure_file("${PBQ_XXHASH_HEADER}" "${PROJECT_BINARY_DIR}/pbq_xxhash/xxhash.h" COPYONLY)
add_library(pbq_xxhash INTERFACE)
target_include_directories(pbq_xxhash SYSTEM INTERFACE "$<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/pbq_xxhash>")
