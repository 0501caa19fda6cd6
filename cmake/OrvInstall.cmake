# cmake --install: headers under include/orvclient (folders kept), the static
# library, and a package config so that find_package(orvclient) works.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

foreach(hdr IN LISTS ORV_PACKAGE_HEADERS)
  get_filename_component(reldir ${hdr} DIRECTORY)
  install(FILES ${hdr} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvclient/${reldir})
endforeach()
if(EXISTS ${PROJECT_SOURCE_DIR}/design/orvclient.h)
  install(FILES design/orvclient.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvclient)
endif()

install(TARGETS orvclient EXPORT orvclientTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvclient)
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
