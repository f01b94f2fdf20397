# The MSVC-style import library of the DLL's C functions, for Windows callers
# built with MSVC (or clang-cl), which cannot use mingw's util_stringloader.dll.a:
#   util_stringloader.def   the usl_ names the DLL exports, read from the built DLL
#   util_stringloader.lib   a COFF import library written from it by llvm-dlltool
# Only the C functions go in: an MSVC caller cannot use the C++ classes, whose
# names and layouts are GCC's. Both files are installed into lib/ beside the
# mingw import library. Included by the top-level CMakeLists.txt for mingw
# builds only (an MSVC build writes its own util_stringloader.lib). A project
# that embeds ours gets neither file, and needs no llvm-dlltool, unless it asks.
option(UTIL_STRINGLOADER_MSVC_IMPORT_LIBRARY
       "Write util_stringloader.lib and .def (the C functions) for MSVC callers; needs llvm-dlltool"
       ${PROJECT_IS_TOP_LEVEL})
if(NOT UTIL_STRINGLOADER_MSVC_IMPORT_LIBRARY)
  return()
endif()

find_program(UL_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 PATHS /usr/lib/llvm-14/bin
             DOC "llvm-dlltool, which writes the MSVC-style import library")
if(NOT UL_LLVM_DLLTOOL)
  message(FATAL_ERROR "util_stringloader: llvm-dlltool not found (Debian: apt-get install llvm-14); it writes "
                      "util_stringloader.lib for MSVC callers. Set UL_LLVM_DLLTOOL to it, or turn "
                      "UTIL_STRINGLOADER_MSVC_IMPORT_LIBRARY off to build without that file.")
endif()
if(NOT CMAKE_OBJDUMP)
  message(FATAL_ERROR "util_stringloader: no objdump (CMAKE_OBJDUMP) to read the DLL's export table with")
endif()

set(UL_MSVC_DEF ${PROJECT_BINARY_DIR}/util_stringloader.def)
set(UL_MSVC_LIB ${PROJECT_BINARY_DIR}/util_stringloader.lib)
set(UL_C_HEADER ${UL_SRC}/stringloader/util_stringloader_c.h)
set(UL_DEF_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/write_c_exports_def.cmake)
add_custom_command(
  OUTPUT ${UL_MSVC_DEF} ${UL_MSVC_LIB}
  COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:util_stringloader> -DOBJDUMP=${CMAKE_OBJDUMP} -DHEADER=${UL_C_HEADER}
          -DDEF=${UL_MSVC_DEF} -P ${UL_DEF_SCRIPT}
  COMMAND ${UL_LLVM_DLLTOOL} -m i386:x86-64 -d ${UL_MSVC_DEF} -l ${UL_MSVC_LIB} -D $<TARGET_FILE_NAME:util_stringloader>
  DEPENDS util_stringloader ${UL_C_HEADER} ${UL_DEF_SCRIPT}
  COMMENT "Writing util_stringloader.def and util_stringloader.lib (the C functions, for MSVC callers)"
  VERBATIM)
add_custom_target(util_stringloader_msvc_import_library ALL DEPENDS ${UL_MSVC_DEF} ${UL_MSVC_LIB})

if(UTIL_STRINGLOADER_INSTALL)
  install(FILES ${UL_MSVC_DEF} ${UL_MSVC_LIB} DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
