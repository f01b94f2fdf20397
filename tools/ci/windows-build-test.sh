#!/usr/bin/env bash
# Builds the Windows DLL and every test executable from scratch with the
# mingw-w64 cross compiler and runs the tests under Wine through ctest (the
# "mingw" workflow preset). Installs the cross compiler, Wine and the other
# build tools with apt-get when they are missing.
set -euo pipefail
cd "$(dirname "$0")/../.."

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# From scratch, Wine prefix included (it lives in the build directory).
rm -rf build/mingw

start=$(date +%s)
echo "== Windows: configure, build and test under Wine"
cmake --workflow --preset mingw
echo "== Windows build and test took $(($(date +%s) - start)) s"
