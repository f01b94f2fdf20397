#!/usr/bin/env bash
# Builds the library alone (the util_stringloader target, nothing of the tests
# or tools) with the warnings a project that embeds it may compile with, as
# errors: g++ and clang++ for Linux, and the mingw-w64 g++ for the Windows
# sources. A parent project's CMAKE_CXX_FLAGS reach our sources under
# add_subdirectory(), so our sources must pass its strictest common set.
set -euo pipefail
cd "$(dirname "$0")/../.."

common="-Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Werror"
gcc_only="-Wuseless-cast"

# strict NAME COMPILER-OR-TOOLCHAIN FLAGS: configures build/strict-NAME from
# scratch and builds the library target there.
strict() {
    local name=$1 compiler=$2 flags=$3 dir=build/strict-$1
    local how=(-DCMAKE_CXX_COMPILER="$compiler")
    [[ $compiler == *.cmake ]] && how=(-DCMAKE_TOOLCHAIN_FILE="$compiler")
    rm -rf "$dir"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${how[@]}" -DCMAKE_CXX_FLAGS="$flags" \
        -DUTIL_STRINGLOADER_BUILD_TESTS=OFF -DUTIL_STRINGLOADER_BUILD_TOOLS=OFF -DUTIL_STRINGLOADER_INSTALL=OFF \
        >/dev/null
    cmake --build "$dir" --target util_stringloader
    echo "ok: $name: $flags"
}

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
    echo "== installing: g++-mingw-w64-x86-64-posix"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends g++-mingw-w64-x86-64-posix
fi

strict gcc g++ "$common $gcc_only"
strict clang clang++ "$common"
strict mingw cmake/toolchain-mingw64.cmake "$common $gcc_only"
