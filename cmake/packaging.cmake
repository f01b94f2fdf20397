# Packages made with CPack from what the install rules put in place:
#   Linux:   `cpack -G DEB` -> util-stringloader_<version>_<arch>.deb, one package
#            with the shared library, its headers, CMake package, .pc file, the
#            stringtable tool and its man page, installed under /usr;
#   Windows: `cpack -G ZIP` -> util-stringloader-<version>-win64.zip with the DLL,
#            its import library, the same headers and CMake package, and
#            stringtable.exe.
# Only a top-level build packages: a project that embeds ours keeps its own
# CPack settings.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()

set(UTIL_STRINGLOADER_PACKAGE_CONTACT "util_stringloader maintainers <root@localhost>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME util-stringloader)
set(CPACK_PACKAGE_VENDOR "util_stringloader")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Localized UI string tables with language fallback")
# Lines of at most 80 characters, as a Debian description has them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Reads one INI string-table file per language and answers lookups by\n"
       "language ID and string ID with a fixed fallback, and converts locale names\n"
       "to Windows language IDs and back. Includes the stringtable tool, which\n"
       "inspects, checks and converts string tables.")
set(CPACK_PACKAGE_CONTACT "${UTIL_STRINGLOADER_PACKAGE_CONTACT}")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  # Depends comes from dpkg-shlibdeps (dpkg-dev) run over the library and the
  # tool; the shlibs file lets other packages depend on ours the same way.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  # The library's directory is one ldconfig caches: dpkg runs it once after
  # every package that asks, through this trigger.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
endif()

include(CPack)
