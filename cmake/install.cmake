# Installs the library with its SONAME links, the headers, a CMake package
# (find_package(otpcli) gives otpcli::otpcli) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS otpcli EXPORT otpcliTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(MINGW)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/src/otpcli.def DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(FILES include/otpcli/otpcli.h include/otpcli/otpcli.hpp include/otpcli/otpcli_c.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/otpcli)

set(OTPCLI_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/otpcli)
install(EXPORT otpcliTargets NAMESPACE otpcli:: DESTINATION ${OTPCLI_CMAKE_DIR})
configure_package_config_file(cmake/otpcliConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/otpcliConfig.cmake INSTALL_DESTINATION ${OTPCLI_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/otpcliConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/otpcliConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/otpcliConfigVersion.cmake DESTINATION ${OTPCLI_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so an install with
# --prefix (or a moved tree) stays usable.
file(RELATIVE_PATH OTPCLI_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/otpcli.pc.in ${CMAKE_CURRENT_BINARY_DIR}/otpcli.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/otpcli.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
