# Checks the export table of the built library: every exported name belongs to
# one of the two classes, to basekit / tracekit or to the C interface (usl_),
# plus DllMain in the DLL, and the names callers link against are all there.
# ELF and PE both carry the Itanium-mangled names and the plain C names, so one
# rule serves both.
#
#   cmake -DLIBRARY=<file> -DFORMAT=elf|pe -DTOOL=<nm|objdump> -P check_exports.cmake
cmake_minimum_required(VERSION 3.25)
foreach(variable LIBRARY FORMAT TOOL)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "check_exports.cmake: ${variable} is not set")
  endif()
endforeach()

if(FORMAT STREQUAL "elf")
  execute_process(COMMAND ${TOOL} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  set(entry_regex "^[0-9a-fA-F]+ [A-Za-z] ([^ ]+)$")
elseif(FORMAT STREQUAL "pe")
  execute_process(COMMAND ${TOOL} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  # Only the name table: "[Ordinal/Name Pointer] Table" up to the next blank line.
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" listing "${listing}")
  set(entry_regex "^[ \t]*\\[ *[0-9]+\\] ([^ ]+)$")
else()
  message(FATAL_ERROR "check_exports.cmake: FORMAT must be elf or pe")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(exported "")
set(strays "")
foreach(line IN LISTS lines)
  if(line MATCHES "${entry_regex}")
    set(name "${CMAKE_MATCH_1}")
    list(APPEND exported "${name}")
    if(NOT name MATCHES "^_Z(N|NK|TV|TI|TS)(17CUtilStringLoader|24CUtilLocaleLCIDConverter|7basekit|8tracekit)"
       AND NOT name MATCHES "^usl_[a-z0-9_]+$"
       AND NOT (FORMAT STREQUAL "pe" AND name STREQUAL "DllMain"))
      list(APPEND strays "${name}")
    endif()
  endif()
endforeach()

set(required
    _ZN17CUtilStringLoader10LANG_ID_ENE
    _ZN17CUtilStringLoader17s_IDStringMappingE
    _ZN24CUtilLocaleLCIDConverter7LANG_ENE
    _ZN24CUtilLocaleLCIDConverter18s_PrimaryLangIDTblE
    _ZN24CUtilLocaleLCIDConverter14s_SubLangIDTblE
    _ZN17CUtilStringLoaderC1Ev
    _ZN17CUtilStringLoaderC1ERKS_
    _ZN17CUtilStringLoaderaSERKS_
    _ZN17CUtilStringLoaderD1Ev
    _ZN17CUtilStringLoader26LoadAllLanguageStringTableEPKw
    _ZNK17CUtilStringLoader11LoadStringWEiib
    _ZN24CUtilLocaleLCIDConverterC1Ev
    _ZN24CUtilLocaleLCIDConverterD1Ev
    _ZNK24CUtilLocaleLCIDConverter14LocaleToLangIDEPKw
    _ZTV17CUtilStringLoader
    _ZTV24CUtilLocaleLCIDConverter
    _ZN8tracekit8TraceLogEPKvjPKwiS3_z
    _ZN7basekit8JoinPathEPKwS1_
    # The whole C interface: other components code against every one of them.
    usl_version
    usl_status_text
    usl_loader_new
    usl_loader_clone
    usl_loader_free
    usl_loader_load
    usl_loader_load16
    usl_loader_default_language
    usl_loader_set_default_language
    usl_loader_string
    usl_loader_string16
    usl_loader_languages
    usl_loader_match_language
    usl_loader_language_of_text
    usl_loader_language_of_text16
    usl_locale_to_language
    usl_locale_to_language16
    usl_language_to_locale
    usl_language_to_locale16
    usl_set_trace_sink)
if(FORMAT STREQUAL "pe")
  list(APPEND required DllMain)
endif()
set(missing "")
foreach(name IN LISTS required)
  if(NOT name IN_LIST exported)
    list(APPEND missing "${name}")
  endif()
endforeach()

list(LENGTH exported count)
if(strays OR missing)
  string(REPLACE ";" "\n  " strays "${strays}")
  string(REPLACE ";" "\n  " missing "${missing}")
  message(FATAL_ERROR "${LIBRARY}: ${count} exports\nunexpected exports:\n  ${strays}\nmissing exports:\n  ${missing}")
endif()
message(STATUS "${LIBRARY}: ${count} exports, all of them the library's own")
