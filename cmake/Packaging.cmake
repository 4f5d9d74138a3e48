# Installation of the library: libintl_r.so with its SONAME links, the
# public header, a pkg-config file and a CMake package exporting
# intl_r::intl_r. The tool and the data directory install themselves; the
# tool's manual page goes with it.
include(CMakePackageConfigHelpers)

set(INTL_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/intl_r)

install(TARGETS intl_r EXPORT intl_rTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/include/intl.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT intl_rTargets NAMESPACE intl_r:: DESTINATION ${INTL_CMAKE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/intl_rConfig.cmake.in
  ${PROJECT_BINARY_DIR}/intl_rConfig.cmake INSTALL_DESTINATION ${INTL_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/intl_rConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/intl_rConfig.cmake
              ${PROJECT_BINARY_DIR}/intl_rConfigVersion.cmake
        DESTINATION ${INTL_CMAKE_PACKAGE_DIR})

# The .pc file finds the prefix from its own place, so that an
# installation moved with `cmake --install --prefix` stays usable.
file(RELATIVE_PATH INTL_PC_PREFIX_FROM_PCFILEDIR
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" INTL_PC_PREFIX_FROM_PCFILEDIR "${INTL_PC_PREFIX_FROM_PCFILEDIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/intl_r.pc.in ${PROJECT_BINARY_DIR}/intl_r.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/intl_r.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET intl_installed)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/intl.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
