# Writes the module-definition file of the DLL's C functions: every usl_ name
# in the DLL's export table, which must be exactly the functions the C header
# declares. Reading the list from the built DLL and checking it against the
# header keeps it in one place: a function added to the header and the
# implementation reaches the .def (and the MSVC import library made from it)
# without anyone editing a list, and one declared but not exported, or
# exported but not declared, stops the build.
#
#   cmake -DDLL=<dll> -DOBJDUMP=<objdump> -DHEADER=<util_stringloader_c.h> -DDEF=<out.def> -P write_c_exports_def.cmake
cmake_minimum_required(VERSION 3.25)
foreach(variable DLL OBJDUMP HEADER DEF)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "write_c_exports_def.cmake: ${variable} is not set")
  endif()
endforeach()

# The DLL's export name table: "[Ordinal/Name Pointer] Table" up to the next blank line.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(exported "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]*\\[ *[0-9]+\\] (usl_[A-Za-z0-9_]+)$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  endif()
endforeach()

# The header's declarations: "UTIL_STRINGLOADER_API <type> usl_name(".
file(READ ${HEADER} header)
string(REGEX MATCHALL "UTIL_STRINGLOADER_API[^;(]*[ *]usl_[A-Za-z0-9_]+\\(" declarations "${header}")
set(declared "")
foreach(declaration IN LISTS declarations)
  string(REGEX MATCH "usl_[A-Za-z0-9_]+\\($" name "${declaration}")
  string(REGEX REPLACE ".$" "" name "${name}")
  list(APPEND declared "${name}")
endforeach()

list(SORT exported)
list(SORT declared)
if(NOT declared)
  message(FATAL_ERROR "${HEADER} declares no usl_ function")
endif()
if(NOT exported STREQUAL declared)
  set(not_exported "")
  foreach(name IN LISTS declared)
    if(NOT name IN_LIST exported)
      string(APPEND not_exported " ${name}")
    endif()
  endforeach()
  set(not_declared "")
  foreach(name IN LISTS exported)
    if(NOT name IN_LIST declared)
      string(APPEND not_declared " ${name}")
    endif()
  endforeach()
  message(FATAL_ERROR "${DLL} and ${HEADER} disagree on the C functions:\n"
                      "  declared but not exported:${not_exported}\n  exported but not declared:${not_declared}")
endif()

get_filename_component(dll_name ${DLL} NAME)
list(LENGTH exported count)
string(REPLACE ";" "\n    " names "${exported}")
string(CONCAT content
              "; The ${count} C functions of ${dll_name}, for MSVC callers. The zip's\n"
              "; util_stringloader.lib is made from this file; lib.exe makes the same:\n"
              ";   lib /def:util_stringloader.def /machine:x64 /out:util_stringloader.lib\n"
              "LIBRARY ${dll_name}\n"
              "EXPORTS\n"
              "    ${names}\n")
file(WRITE ${DEF} "${content}")
message(STATUS "${DEF}: ${count} C functions")
