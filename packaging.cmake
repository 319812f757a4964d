# Installation, the CMake package TallyKit (TallyKit::tallykit), the
# pkg-config file and the Debian package.
include(CMakePackageConfigHelpers)

install(TARGETS tallykit_shared EXPORT TallyKitTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Runtime)
install(TARGETS tallykit_host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/tallykit DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT TallyKitTargets NAMESPACE TallyKit::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TallyKit)

configure_package_config_file(cmake/TallyKitConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/TallyKitConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TallyKit)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TallyKitConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TallyKitConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/TallyKitConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TallyKit)

# The pkg-config file finds its prefix from where it lies, so an installed
# tree can move.
file(RELATIVE_PATH TK_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(cmake/tallykit.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tallykit.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tallykit.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_PACKAGE_NAME tallykit)
set(CPACK_PACKAGE_VENDOR "TallyKit")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Computation blocks for dataflow wiring hosts, with the scriptable host tallykit")
set(CPACK_PACKAGE_CONTACT "TallyKit maintainers <tallykit@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
