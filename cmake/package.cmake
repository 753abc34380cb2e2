# Debian packages (`make package`, or cpack -G DEB in a build directory): libpbq1
# holds the shared library, libpbq-dev the headers, the static library, the CMake
# package and pbq.pc. Configure with CMAKE_INSTALL_PREFIX=/usr so that the library
# lands in Debian's multiarch directory. The command-line host is not packaged.

# Debian wants the copyright and a changelog in its own format (gzipped, without a
# timestamp) in each package's documentation directory; the project's history is
# CHANGELOG.md.
string(TIMESTAMP pbq_package_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(CPACK_PACKAGE_CONTACT "pbq maintainers <pbq@example.org>")
file(WRITE ${PROJECT_BINARY_DIR}/debian-changelog
"pbq (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}; its changes are listed in the project's CHANGELOG.md.

 -- ${CPACK_PACKAGE_CONTACT}  ${pbq_package_date}
")
set(pbq_changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
execute_process(COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/debian-changelog
                OUTPUT_FILE ${pbq_changelog_gz} RESULT_VARIABLE pbq_gzip_result)
# The library's package tells dpkg to run ldconfig through a trigger.
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
foreach(component runtime development)
  if(component STREQUAL "runtime")
    set(package libpbq${PBQ_ABI_VERSION})
  else()
    set(package libpbq-dev)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
          RENAME copyright COMPONENT ${component})
  if(pbq_gzip_result EQUAL 0)
    install(FILES ${pbq_changelog_gz} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pbq)
set(CPACK_PACKAGE_VENDOR "pbq")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A cross build's architecture, from its toolchain file (cmake/toolchains/); dpkg's own
# otherwise.
if(PBQ_DEBIAN_ARCHITECTURE)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${PBQ_DEBIAN_ARCHITECTURE})
endif()
# The first line is the synopsis; CPack indents the rest and turns "" into " .".
set(pbq_description_tail
"pbq holds the playback-queue state of a music player: the loaded tracks, the
play order (source order or a seeded shuffle), the current entry, up next,
repeat and shuffle modes, playback rate, a sleep timer, and JSON documents for
the UI and for restarts, behind a plain C interface.
")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libpbq${PBQ_ABI_VERSION})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)  # libc6 and libyyjson0, from the binary
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "playback-queue state of a music player - shared library
${pbq_description_tail}
This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libpbq-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "libpbq${PBQ_ABI_VERSION} (= ${PROJECT_VERSION}), libyyjson-dev (>= 0.10)")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "playback-queue state of a music player - development files
${pbq_description_tail}
This package holds the headers pbq.h and pbq.hpp, the static library, the CMake
package and pbq.pc.")

include(CPack)
