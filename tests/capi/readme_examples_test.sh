#!/usr/bin/env bash
# Runs the C, C# and Python examples of README.md's "From C, .NET and Python"
# section against the built shared library and the sample tables, with no
# locale set, as a fresh shell has it: each must print the Chinese text.
# Usage: readme_examples_test.sh README EXAMPLES LIBRARY INCLUDE-DIRS(:-separated) CC
set -euo pipefail
readme=$1 examples=$2 library=$3 includes=$4 cc=$5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
libdir=$(dirname "$library")
expected='垃圾邮件'

# extract LANGUAGE FILE: the section's code block in that language, pointed at the samples.
extract() {
    awk -v fence="\`\`\`$1" '/^## / { section = /^## From C, .NET and Python/ }
        section && $0 == fence { code = 1; next } code && /^```/ { exit } code' "$readme" |
        sed "s|/opt/velmora/EUQ/res|$examples/res|" >"$2"
    [ -s "$2" ] || { echo "README.md has no $1 example in its C interface section"; exit 1; }
}

# run NAME COMMAND...: runs the example without a locale and checks what it printed.
failed=0
run() {
    local name=$1 printed
    shift
    printed=$(env -u LANG -u LC_ALL -u LC_CTYPE -u LANGUAGE LD_LIBRARY_PATH="$libdir" "$@") || true
    if [ "$printed" = "$expected" ]; then
        echo "README $name example: $printed"
    else
        printf 'the README %s example printed "%s", not "%s"\n' "$name" "$printed" "$expected"
        failed=1
    fi
}

extract c "$scratch/example.c"
flags=()
IFS=: read -ra directories <<<"$includes"
for directory in "${directories[@]}"; do
    flags+=(-I "$directory")
done
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror "${flags[@]}" "$scratch/example.c" "$library" -o "$scratch/example"
run C "$scratch/example"

extract csharp "$scratch/example.cs"
command -v mcs >/dev/null || { echo "mcs is not installed (Debian: mono-mcs)"; exit 1; }
mcs -nologo -warnaserror -out:"$scratch/example.exe" "$scratch/example.cs"
run C# mono "$scratch/example.exe"

extract python "$scratch/example.py"
run Python python3 "$scratch/example.py"
exit "$failed"
