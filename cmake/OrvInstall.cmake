# cmake --install: the public headers under include/orvclient (folders kept,
# the umbrella header at the top), the library, a CMake package
# (find_package(orvclient), target orvclient::orvclient) and a pkg-config
# file (orvclient.pc). Internal headers are not installed.
include(CMakePackageConfigHelpers)

foreach(hdr IN LISTS ORV_PUBLIC_HEADERS)
  get_filename_component(reldir ${hdr} DIRECTORY)
  install(FILES ${hdr} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvclient/${reldir})
endforeach()
install(FILES design/orvclient.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvclient)

install(TARGETS orvclient EXPORT orvclientTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT orvclientTargets NAMESPACE orvclient::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvclient)

configure_package_config_file(cmake/orvclientConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/orvclientConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvclient)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/orvclientConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orvclientConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/orvclientConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/orvclient)

# The .pc file finds its prefix from its own place, so the installed tree
# may be moved (or installed with --prefix) and still be found.
set(ORV_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ORV_PC_TO_PREFIX /${ORV_PC_DIR} /)
string(REGEX REPLACE "/$" "" ORV_PC_TO_PREFIX "${ORV_PC_TO_PREFIX}")
configure_file(cmake/orvclient.pc.in ${CMAKE_CURRENT_BINARY_DIR}/orvclient.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orvclient.pc DESTINATION ${ORV_PC_DIR})
