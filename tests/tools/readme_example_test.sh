#!/usr/bin/env bash
# Compiles the C++ example of README.md against the built shared library and
# runs it on the sample tables with no locale set, as a fresh shell has it: it
# must print its Chinese text. Usage: readme_example_test.sh README EXAMPLES
# LIBRARY INCLUDE-DIRS(:-separated) CXX
set -euo pipefail
readme=$1 examples=$2 library=$3 includes=$4 cxx=$5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

awk '/^## Use it from C\+\+/ { section = 1 } section && /^```cpp/ { code = 1; next } code && /^```/ { exit } code' \
    "$readme" | sed "s|/opt/velmora/EUQ/res|$examples/res|" >"$scratch/example.cpp"
flags=()
IFS=: read -ra directories <<<"$includes"
for directory in "${directories[@]}"; do
    flags+=(-I "$directory")
done
"$cxx" -std=c++17 "${flags[@]}" "$scratch/example.cpp" "$library" -o "$scratch/example"
printed=$(env -u LANG -u LC_ALL -u LC_CTYPE -u LANGUAGE LD_LIBRARY_PATH="$(dirname "$library")" "$scratch/example")
expected='垃圾邮件 (language of the inbox name: 0x0007)'
if [ "$printed" != "$expected" ]; then
    printf 'the README example printed "%s", not "%s"\n' "$printed" "$expected"
    exit 1
fi
echo "README example: $printed"
