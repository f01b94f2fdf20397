# Install rules: the shared library, its five public headers under
# include/util_stringloader, a CMake package (find_package(util_stringloader
# CONFIG) gives util_stringloader::util_stringloader) and a pkg-config file.
# Every installed path is relative to the prefix, so `cmake --install --prefix`
# can put the tree anywhere. Included only when UTIL_STRINGLOADER_INSTALL is on,
# so a project that embeds ours installs none of it unless it asks.
include(CMakePackageConfigHelpers)

set(UL_INSTALL_INCLUDEDIR include/util_stringloader) # also the target's INSTALL_INTERFACE directory
set(UL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/util_stringloader)
set(UL_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS util_stringloader EXPORT util_stringloaderTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${UL_INSTALL_INCLUDEDIR})
install(FILES ${UL_SRC}/stringloader/Util_StringLoader.h ${UL_SRC}/stringloader/util_stringloader_c.h
              ${UL_SRC}/platform/include/basekit.h
              ${UL_SRC}/platform/include/tracekit.h ${UL_SRC}/platform/include/util_stringloader_export.h
        DESTINATION ${UL_INSTALL_INCLUDEDIR})

install(EXPORT util_stringloaderTargets NAMESPACE util_stringloader:: DESTINATION ${UL_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/util_stringloader-config.cmake.in
                              ${PROJECT_BINARY_DIR}/util_stringloader-config.cmake
                              INSTALL_DESTINATION ${UL_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/util_stringloader-config-version.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/util_stringloader-config.cmake
              ${PROJECT_BINARY_DIR}/util_stringloader-config-version.cmake
        DESTINATION ${UL_INSTALL_CMAKEDIR})

# pkg-config finds the prefix from the .pc file's own place (${pcfiledir}),
# so the file stays right when the tree is installed or moved elsewhere.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  message(FATAL_ERROR "util_stringloader: CMAKE_INSTALL_LIBDIR must be relative to the prefix")
endif()
file(RELATIVE_PATH UL_PKGCONFIG_TO_PREFIX /prefix/${UL_INSTALL_PKGCONFIGDIR} /prefix)
string(REGEX REPLACE "/$" "" UL_PKGCONFIG_TO_PREFIX "${UL_PKGCONFIG_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/util_stringloader-pkgconfig.pc.in
               ${PROJECT_BINARY_DIR}/util_stringloader.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/util_stringloader.pc DESTINATION ${UL_INSTALL_PKGCONFIGDIR})

