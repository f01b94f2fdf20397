# Cross-compiles the library for 64-bit Windows with mingw-w64 (the posix
# threading flavour, which libstdc++'s std::mutex needs) and runs the built
# executables under Wine, so that ctest works unchanged on a Linux machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(UL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${UL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${UL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${UL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The GCC runtime, libstdc++ and winpthread are linked into every module, so
# the DLL and the test executables need nothing but system DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Every executable the build runs (ctest, try_run) goes through Wine, in a
# prefix of its own inside the build directory.
set(UL_WINE "/usr/lib/wine/wine64" CACHE FILEPATH "The Wine loader for 64-bit Windows programs")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${CMAKE_BINARY_DIR}/wineprefix;${UL_WINE}")
