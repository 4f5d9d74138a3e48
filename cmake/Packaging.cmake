# Installation of the library: libintl_r.so with its SONAME links, the
# public header, a pkg-config file and a CMake package exporting
# intl_r::intl_r. The tool and the data directory install themselves; the
# tool's manual pages go with it. Both package files name the data directory
# (charsets/ and locale/), which a client hands to intl_sethome().
include(CMakePackageConfigHelpers)

set(INTL_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/intl_r)
set(INTL_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/intl_r)

install(TARGETS intl_r EXPORT intl_rTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/include/intl.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT intl_rTargets NAMESPACE intl_r:: DESTINATION ${INTL_CMAKE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/intl_rConfig.cmake.in
  ${PROJECT_BINARY_DIR}/intl_rConfig.cmake INSTALL_DESTINATION ${INTL_CMAKE_PACKAGE_DIR}
  PATH_VARS INTL_INSTALL_DATA_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/intl_rConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/intl_rConfig.cmake
              ${PROJECT_BINARY_DIR}/intl_rConfigVersion.cmake
        DESTINATION ${INTL_CMAKE_PACKAGE_DIR})

# The .pc file finds the prefix from its own place, so that an
# installation moved with `cmake --install --prefix` stays usable; a
# distribution package, which never moves, names the prefix itself.
option(INTL_RELOCATABLE_PC "intl_r.pc finds its prefix from its own place" ON)
if(INTL_RELOCATABLE_PC)
  file(RELATIVE_PATH INTL_PC_PREFIX
       ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" INTL_PC_PREFIX "\${pcfiledir}/${INTL_PC_PREFIX}")
else()
  set(INTL_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/intl_r.pc.in ${PROJECT_BINARY_DIR}/intl_r.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/intl_r.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET intl_installed)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/intl.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/intl-files.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
endif()
