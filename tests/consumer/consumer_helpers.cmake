# Helpers of the consumer and embedding test scripts.

# run(COMMAND...): runs a command, stops the test with its output when it
# fails, and leaves its output in `last_output`.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${result}): ${command}\n${output}")
  endif()
  set(last_output "${output}" PARENT_SCOPE)
endfunction()

# probe_headers(BUILD_DIR): in a configured consumer build, the five public
# headers each compile alone through the library's include path (one build of
# the five probes), and the internal headers are not found on it.
function(probe_headers build_dir)
  set(public "")
  foreach(header Util_StringLoader.h util_stringloader_c.h basekit.h tracekit.h util_stringloader_export.h)
    string(MAKE_C_IDENTIFIER ${header} probe)
    list(APPEND public probe_${probe})
  endforeach()
  run(${CMAKE_COMMAND} --build ${build_dir} --target ${public})
  foreach(header win32_api.h posix/profile_reader.h)
    string(MAKE_C_IDENTIFIER ${header} probe)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${build_dir} --target probe_${probe} RESULT_VARIABLE result
                    OUTPUT_VARIABLE output ERROR_VARIABLE output)
    string(REPLACE "." "\\." pattern "${header}")
    # GCC: "win32_api.h: No such file or directory"; clang: "'win32_api.h' file not found".
    if(result EQUAL 0 OR NOT output MATCHES "${pattern}'?:? *(No such file|file not found)")
      message(FATAL_ERROR "a caller can include the internal header ${header} (or it failed otherwise):\n${output}")
    endif()
  endforeach()
  message(STATUS "headers: the five public ones compile, win32_api.h and posix/profile_reader.h are out of reach")
endfunction()
