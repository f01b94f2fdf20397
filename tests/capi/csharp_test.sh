#!/usr/bin/env bash
# Compiles a C# source with Mono's mcs and runs it with mono against the built
# shared library, which P/Invoke finds as libutil_stringloader.so through
# LD_LIBRARY_PATH. A missing mcs or mono fails the test.
# Usage: csharp_test.sh SOURCE.cs LIBRARY-DIR [program arguments...]
set -euo pipefail
source=$1 libdir=$2
shift 2
for tool in mcs mono; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed (Debian: mono-mcs, mono-runtime)"; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mcs -nologo -warnaserror -out:"$scratch/program.exe" "$source"
LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" mono "$scratch/program.exe" "$@"
