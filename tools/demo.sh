#!/usr/bin/env bash
# Builds the shared library and the stringtable tool, then walks through the
# sample string tables in examples/res: several languages with the source of
# each text, the coverage check, the conversions, a converted table, and a load
# through the registry file examples/registry.reg. Each command is printed
# before it runs, exactly as it runs: pasted in order into a shell at the
# repository root, they do the same. Run it from anywhere; BUILD_DIR picks the
# build directory (default build/demo), STRINGTABLE an already built tool.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=${BUILD_DIR:-build/demo}

if [ -z "${STRINGTABLE:-}" ]; then
    generator=()
    if command -v ninja >/dev/null 2>&1; then
        generator=(-G Ninja)
    fi
    cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DUTIL_STRINGLOADER_BUILD_TESTS=OFF \
        -DUTIL_STRINGLOADER_BUILD_TOOLS=ON >/dev/null
    cmake --build "$build" --target stringtable -j 2
    STRINGTABLE=$build/tools/stringtable/stringtable
fi
tooldir=$(cd "$(dirname "$STRINGTABLE")" && pwd)

# Prints a command, runs it as printed, and tells a nonzero exit status.
run() {
    printf '\n$ %s\n' "$1"
    local status=0
    eval "$1" || status=$?
    if [ "$status" -ne 0 ]; then
        printf '(exit status %d)\n' "$status"
    fi
}

run "export PATH=\"$tooldir:\$PATH\""
for locale in en de fr_ca ja zh_tw pt; do
    run "stringtable show examples/res $locale"
done
# The samples carry two deliberate gaps, so the check ends with status 1.
run "stringtable check examples/res"
run "stringtable locale zh_tw fr_ca en_au pt-br"
run "stringtable langid 0x0404 2052 0x0c0c"
run "mkdir -p $build/converted && stringtable convert examples/res/de.cfg $build/converted/de.cfg --to utf16le"
run "stringtable show $build/converted de"

# The registry names the installation directory ("HomeDir"); the tables live
# in its EUQ/res. examples/registry.reg says ".", so the commands run from a
# directory that holds EUQ/res with the sample tables.
home=$build/example-home
run "rm -rf $home && mkdir -p $home/EUQ/res && cp examples/res/*.cfg $home/EUQ/res/ && cp examples/registry.reg $home/"
run "(cd $home && VELMORA_REGISTRY=registry.reg stringtable show --registry zh_cn)"
run "(cd $home && VELMORA_REGISTRY=registry.reg stringtable which IDS_INBOX_FOLDER_NAME_LIST 受信箱)"
