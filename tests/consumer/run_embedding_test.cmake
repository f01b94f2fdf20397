# A parent project that embeds the library with add_subdirectory(), built the
# way a downstream team checks its own code: clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, and strict warnings as errors, which reach our
# sources through the parent's CMAKE_CXX_FLAGS. The consumer must link and run, the library's
# include path must give it the public headers only, the embedded build must
# not build our internal library, and the parent's install must not install
# anything of ours.
#
# Run by ctest as: cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX_COMPILER=... -P run_embedding_test.cmake
foreach(variable SOURCE_DIR WORK_DIR GENERATOR CXX_COMPILER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_embedding_test.cmake: ${variable} is not set")
  endif()
endforeach()
if(NOT CXX_COMPILER)
  message(FATAL_ERROR "clang++ is not installed: this test builds the parent project with it "
                      "(on Debian and Ubuntu: apt-get install clang)")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/consumer_helpers.cmake)

set(build ${WORK_DIR}/build)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

set(flags "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
          "-Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Werror")
get_filename_component(compiler_name ${CXX_COMPILER} NAME)
if(NOT compiler_name MATCHES "clang")
  list(APPEND flags -Wuseless-cast) # GCC's alone
endif()
string(JOIN " " flags ${flags})
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${build} -G ${GENERATOR} -DCMAKE_BUILD_TYPE=Debug
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_CXX_FLAGS=${flags} -DCONSUMER_FIND=subdirectory
    -DUTIL_STRINGLOADER_SOURCE_DIR=${SOURCE_DIR})
run(${CMAKE_COMMAND} --build ${build} --parallel 2)
set(ENV{ASAN_OPTIONS} "detect_leaks=1")
run(${build}/consumer ${SOURCE_DIR}/examples/res)
message(STATUS "consumer under ASan + UBSan, warnings as errors: ${last_output}")

file(GLOB_RECURSE internal ${build}/*util_stringloader_internal*)
if(internal)
  message(FATAL_ERROR "the embedded build made the internal library: ${internal}")
endif()

probe_headers(${build})

run(${CMAKE_COMMAND} --install ${build} --prefix ${prefix})
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
if(NOT installed STREQUAL "bin/consumer")
  message(FATAL_ERROR "the parent's install should hold only bin/consumer, it holds: ${installed}")
endif()
message(STATUS "install: only the parent's bin/consumer")
