# Install rules and packages: the headers, libpbq.so.1 with its links, the static
# library, a CMake package (find_package(pbq) gives pbq::pbq) and pbq.pc. Included
# last from the top-level CMakeLists.txt, once every target exists.
include(CMakePackageConfigHelpers)

set(pbq_install_targets pbq)
if(TARGET pbq_static)
  list(APPEND pbq_install_targets pbq_static)
endif()
# A static library passes its dependencies on to the host: the package finds them.
if(TARGET pbq_static OR NOT pbq_library_type STREQUAL "SHARED")
  set(pbq_config_with_static ON)
else()
  set(pbq_config_with_static OFF)
endif()

# What a host linking libpbq.a statically needs besides it: yyjson unless it is compiled
# in, the C++ runtime and libm (the library is C++ inside), and the threads library.
if(PBQ_YYJSON_FROM_SOURCE)
  set(pbq_config_needs_yyjson OFF)
  set(pbq_pc_libs_private "-lstdc++ -lm -lpthread")
else()
  set(pbq_config_needs_yyjson ON)
  set(pbq_pc_libs_private "-lyyjson -lstdc++ -lm -lpthread")
endif()

install(TARGETS ${pbq_install_targets} EXPORT pbqTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime  # pbq.dll on Windows
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/pbq.h ${PROJECT_SOURCE_DIR}/include/pbq.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

# The tools (component tools, the package pbq-tools): the command-line host with the
# example album in the data directory, and pbq-play and pbq-make-album (player/). They
# find the library beside them through a relative RUNPATH, except where the library lands
# in a directory the system searches anyway (the prefix /usr): there they carry none, as
# Debian wants. Decided here, last, for all three.
if(TARGET pbq_cli)
  set(pbq_tool_targets pbq_cli)
  if(TARGET pbq_play)
    list(APPEND pbq_tool_targets pbq_play pbq_make_album)
  endif()
  if(CMAKE_INSTALL_FULL_LIBDIR IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES)
    set_target_properties(${pbq_tool_targets} PROPERTIES INSTALL_RPATH "")
  else()
    set_target_properties(${pbq_tool_targets} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  endif()
  install(TARGETS pbq_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/album.json ${PROJECT_SOURCE_DIR}/examples/session.pbq
    DESTINATION ${CMAKE_INSTALL_DATADIR}/pbq COMPONENT tools)
endif()

# CMake package.
set(pbq_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/pbq)
install(EXPORT pbqTargets NAMESPACE pbq:: DESTINATION ${pbq_cmake_dir} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/pbqConfig.cmake.in
  ${PROJECT_BINARY_DIR}/pbqConfig.cmake INSTALL_DESTINATION ${pbq_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pbqConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/pbqConfig.cmake ${PROJECT_BINARY_DIR}/pbqConfigVersion.cmake
  DESTINATION ${pbq_cmake_dir} COMPONENT development)

# pkg-config file, relocatable: the prefix is found from the file's own place, so an
# install with `cmake --install --prefix DIR` works as well as the configured one.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(pbq_pc_prefix "${CMAKE_INSTALL_PREFIX}")
  set(pbq_pc_libdir "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH pbq_pc_up "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" pbq_pc_up "${pbq_pc_up}")
  set(pbq_pc_prefix "\${pcfiledir}/${pbq_pc_up}")
  set(pbq_pc_libdir "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(pbq_pc_includedir "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(pbq_pc_includedir "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/pbq.pc.in ${PROJECT_BINARY_DIR}/pbq.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pbq.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The Debian packages of these install rules.
include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
