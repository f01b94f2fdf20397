# Installs a build tree into WORK_DIR/prefix and builds the consumer in this
# folder against it twice: through find_package(util_stringloader CONFIG), one
# CMake configure, and through pkg-config, the flags it prints on one compiler
# command line, as a Makefile would use them. Each consumer then runs on the
# sample string tables. The installed headers are exactly the five public ones
# (the embedding test compiles each of them alone).
#
# Run by ctest as: cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=...
#                        -DGENERATOR=... -DCXX_COMPILER=... -DLIBDIR=... -P run_consumer_test.cmake
foreach(variable BUILD_DIR SOURCE_DIR WORK_DIR GENERATOR CXX_COMPILER LIBDIR)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run_consumer_test.cmake: ${variable} is not set")
  endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/consumer_helpers.cmake)

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
file(GLOB_RECURSE headers RELATIVE ${prefix}/include ${prefix}/include/*)
list(SORT headers)
set(public util_stringloader/Util_StringLoader.h util_stringloader/basekit.h util_stringloader/tracekit.h
           util_stringloader/util_stringloader_c.h util_stringloader/util_stringloader_export.h)
if(NOT headers STREQUAL public)
  message(FATAL_ERROR "include/ should hold the five public headers, it holds: ${headers}")
endif()
foreach(file ${LIBDIR}/cmake/util_stringloader/util_stringloader-config.cmake ${LIBDIR}/pkgconfig/util_stringloader.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

find_program(PKG_CONFIG_EXECUTABLE NAMES pkg-config pkgconf)
if(NOT PKG_CONFIG_EXECUTABLE)
  message(FATAL_ERROR "pkg-config is not installed: the pkg-config half of this test needs it "
                      "(on Debian and Ubuntu: apt-get install pkg-config)")
endif()

set(consumer_source ${SOURCE_DIR}/tests/consumer)
set(tables ${SOURCE_DIR}/examples/res)

# find_package: only CMAKE_PREFIX_PATH points at the tree.
set(ENV{PKG_CONFIG_PATH} "")
run(${CMAKE_COMMAND} -S ${consumer_source} -B ${WORK_DIR}/with-package -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_PREFIX_PATH=${prefix} -DCONSUMER_FIND=package)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/with-package)
run(${WORK_DIR}/with-package/consumer ${tables})
message(STATUS "find_package: ${last_output}")

# pkg-config: only PKG_CONFIG_PATH points at the tree; the program finds the
# library through LD_LIBRARY_PATH, as any outside the linker's search path does.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
run(${PKG_CONFIG_EXECUTABLE} --cflags --libs util_stringloader)
message(STATUS "pkg-config flags: ${last_output}")
separate_arguments(flags UNIX_COMMAND "${last_output}")
run(${CXX_COMPILER} -std=c++17 -Wall -Wextra -Wpedantic -Werror ${consumer_source}/main.cpp ${flags}
    -o ${WORK_DIR}/consumer-pkgconfig)
set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIBDIR})
run(${WORK_DIR}/consumer-pkgconfig ${tables})
message(STATUS "pkg-config: ${last_output}")
