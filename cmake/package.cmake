# Debian packages (`make dist`, or cpack -G DEB in a build directory): libpbq1 holds the
# shared library, libpbq-dev the headers, the static library, the CMake package and pbq.pc,
# pbq-tools the command-line host, pbq-play and pbq-make-album (when they are built).
# Configure with CMAKE_INSTALL_PREFIX=/usr so that the library lands in Debian's multiarch
# directory, and with PBQ_YYJSON_FROM_SOURCE=ON so that no package needs a yyjson package
# (Debian 12 has none).

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
set(pbq_package_components runtime development)
if(TARGET pbq_cli)
  list(APPEND pbq_package_components tools)
endif()
foreach(component IN LISTS pbq_package_components)
  if(component STREQUAL "runtime")
    set(package libpbq${PBQ_ABI_VERSION})
  elseif(component STREQUAL "development")
    set(package libpbq-dev)
  else()
    set(package pbq-tools)
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
set(CPACK_COMPONENTS_ALL ${pbq_package_components})
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
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)  # libc6, libstdc++6 (and libyyjson0 unless built in)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "playback-queue state of a music player - shared library
${pbq_description_tail}
This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libpbq-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The static library is C++ inside: a host linking it needs the C++ runtime's development
# files (libstdc++.so and .a), and yyjson's unless it is built in.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  string(REGEX MATCH "^[0-9]+" pbq_gcc_major "${CMAKE_CXX_COMPILER_VERSION}")
  set(pbq_libstdcxx_dev "libstdc++-${pbq_gcc_major}-dev | libstdc++-dev")
else()
  set(pbq_libstdcxx_dev "libstdc++-dev")
endif()
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libpbq${PBQ_ABI_VERSION} (= ${PROJECT_VERSION}), ${pbq_libstdcxx_dev}")
if(NOT PBQ_YYJSON_FROM_SOURCE)
  string(APPEND CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS ", libyyjson-dev (>= 0.10)")
endif()
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "playback-queue state of a music player - development files
${pbq_description_tail}
This package holds the headers pbq.h and pbq.hpp, the static library, the CMake
package and pbq.pc.")

# The tools: shlibdeps adds the libraries the programs link (the C++ runtime, GStreamer and
# GLib for the player); the player also needs GStreamer's plug-ins at run time (playbin and
# the test tones from the base set, WAV and scaletempo from the good one) and an audio output.
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME pbq-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds libpbq.so.1 in the build; libpbq1 is named above, exactly.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libpbq${PBQ_ABI_VERSION} (= ${PROJECT_VERSION})")
set(pbq_tools_list "pbq, a command-line host that plays scripted sessions on an
example album")
if(TARGET pbq_play)
  string(APPEND CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS ", gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS "gstreamer1.0-alsa | gstreamer1.0-pulseaudio")
  set(pbq_tools_list "pbq, a command-line host that plays scripted sessions on an
example album; pbq-play, a player on GStreamer that keeps every queue rule in
pbq; and pbq-make-album, which writes an album of test tones")
endif()
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "playback-queue state of a music player - tools
${pbq_description_tail}
This package holds ${pbq_tools_list}.")

include(CPack)
