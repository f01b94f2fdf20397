#!/usr/bin/env bash
# Builds the shared library and the stringtable tool, then walks through the
# sample string tables in examples/res: several languages with the source of
# each text, the coverage check, the conversions, and a load through the
# registry file examples/registry.reg. Run it from anywhere; BUILD_DIR picks
# the build directory (default build/demo).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=${BUILD_DIR:-build/demo}

generator=()
if command -v ninja >/dev/null 2>&1; then
    generator=(-G Ninja)
fi
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DUTIL_STRINGLOADER_BUILD_TESTS=OFF \
    -DUTIL_STRINGLOADER_BUILD_TOOLS=ON >/dev/null
cmake --build "$build" --target stringtable -j 2
stringtable=$(cd "$build/tools/stringtable" && pwd)/stringtable

step() {
    printf '\n== %s\n' "$*"
}

for locale in en de fr_ca ja zh_tw pt; do
    step "stringtable show examples/res $locale"
    "$stringtable" show examples/res "$locale"
done

# The samples carry two deliberate gaps, so the check ends with status 1.
step "stringtable check examples/res"
"$stringtable" check examples/res || echo "(exit status $?)"

step "stringtable locale zh_tw fr_ca en_au pt-br"
"$stringtable" locale zh_tw fr_ca en_au pt-br
step "stringtable langid 0x0404 2052 0x0c0c"
"$stringtable" langid 0x0404 2052 0x0c0c

# The registry names the installation directory ("HomeDir"); the tables live
# in its EUQ/res. examples/registry.reg says ".", so we run from a directory
# that holds EUQ/res with the sample tables.
home="$build/example-home"
rm -rf "$home"
mkdir -p "$home/EUQ/res"
cp examples/res/*.cfg "$home/EUQ/res/"
export VELMORA_REGISTRY="$repo/examples/registry.reg"
step "(cd $home && VELMORA_REGISTRY=examples/registry.reg stringtable show --registry zh_cn)"
(cd "$home" && "$stringtable" show --registry zh_cn)
step "stringtable which IDS_INBOX_FOLDER_NAME_LIST 受信箱 (through the registry)"
(cd "$home" && "$stringtable" which IDS_INBOX_FOLDER_NAME_LIST 受信箱)
