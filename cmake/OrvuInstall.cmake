# Installation: both shared objects (with SONAME and version), the public
# headers under include/orvu, a CMake package (find_package(orvu)) and a
# pkg-config file (pkg-config --cflags --libs orvu).
include(CMakePackageConfigHelpers)

install(TARGETS orvu_kex_c5h1 orvu_serv EXPORT orvuTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvu
  FILES_MATCHING PATTERN "*.h" PATTERN "*.def")
install(EXPORT orvuTargets NAMESPACE orvu:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvu)

file(WRITE ${PROJECT_BINARY_DIR}/orvuConfig.cmake.in
"@PACKAGE_INIT@
include(\"\${CMAKE_CURRENT_LIST_DIR}/orvuTargets.cmake\")
check_required_components(orvu)
")
configure_package_config_file(${PROJECT_BINARY_DIR}/orvuConfig.cmake.in
  ${PROJECT_BINARY_DIR}/orvuConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvu)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/orvuConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/orvuConfig.cmake ${PROJECT_BINARY_DIR}/orvuConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvu)

file(RELATIVE_PATH ORVU_PC_TO_PREFIX "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
file(WRITE ${PROJECT_BINARY_DIR}/orvu.pc.in
"# relocatable: paths are taken relative to this file (lib*/pkgconfig)
prefix=\${pcfiledir}/@ORVU_PC_TO_PREFIX@
libdir=\${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=\${prefix}/@CMAKE_INSTALL_INCLUDEDIR@/orvu

Name: orvu
Description: Vector math, random numbers, statistics, data fitting and array utilities
Version: @PROJECT_VERSION@
Libs: -L\${libdir} -lorvu_kex_c5h1 -lorvu_serv_c5h1
Cflags: -I\${includedir}
")
configure_file(${PROJECT_BINARY_DIR}/orvu.pc.in ${PROJECT_BINARY_DIR}/orvu.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orvu.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
