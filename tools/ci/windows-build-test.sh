#!/usr/bin/env bash
# Builds the Windows DLL and every test executable from scratch with the
# mingw-w64 cross compiler and runs the tests under Wine through ctest (the
# "mingw" workflow preset). Installs the cross compiler, Wine, llvm-dlltool and
# the other build tools with apt-get when they are missing.
set -euo pipefail
cd "$(dirname "$0")/../.."

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64-posix)
command -v x86_64-w64-mingw32-gcc-posix >/dev/null 2>&1 || missing+=(gcc-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
# llvm-dlltool writes util_stringloader.lib, the import library for MSVC callers.
[ -x /usr/lib/llvm-14/bin/llvm-dlltool ] || missing+=(llvm-14)
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

# The stringtable tool as an administrator runs it on a server: on the sample
# tables, with a Unicode argument, and through the real registry with the
# settings key written here (and removed again, since the prefix is the test
# suite's).
echo "== Windows: stringtable.exe under Wine"
wine=(bash cmake/wine-run.sh "$PWD/build/mingw/wineprefix" /usr/lib/wine/wine64)
exe=build/mingw/tools/stringtable/stringtable.exe
key='HKLM\SOFTWARE\Corvenic\Velmora\CurrentVersion'
scratch=$(mktemp -d)
trap '"${wine[@]}" reg delete "$key" /f >/dev/null 2>&1 || true; rm -rf "$scratch"' EXIT

# expect STATUS TEXT ARGS...: the tool's exit status is STATUS and its output
# holds TEXT, within two minutes.
expect() {
    local status=$1 text=$2 seen=0
    shift 2
    timeout 120 "${wine[@]}" "$exe" "$@" >"$scratch/out" 2>&1 || seen=$?
    if [ "$seen" -ne "$status" ] || { [ -n "$text" ] && ! grep -qF -- "$text" "$scratch/out"; }; then
        echo "stringtable $* gave status $seen (want $status), output lacks '$text':" >&2
        cat "$scratch/out" >&2
        exit 1
    fi
    echo "ok: stringtable $*"
}

expect 0 '19  IDS_EUQ_SETUP_SERVICE_NAME                                   neutral fr  Service de configuration' \
    show examples/res fr_ca
expect 0 '14  IDS_SPAM_FOLDER_NAME                                         exact   垃圾郵件' show examples/res zh_tw
expect 1 '14 languages, 1 missing, 1 empty, 0 skipped' check examples/res
expect 0 '0x0011  ja' which IDS_INBOX_FOLDER_NAME_LIST 受信箱 --dir examples/res
expect 2 'is neither a string ID (0-23)' which 24 x --dir examples/res
mkdir -p "$scratch/converted"
expect 0 '' convert examples/res/de.cfg "$scratch/converted/deé.cfg"
expect 0 'de (0x0007): loaded from deé.cfg' show "$scratch/converted" de
{ "${wine[@]}" "$exe" check --json examples/res || test $? -eq 1; } | python3 -c \
    'import json, sys; d = json.load(sys.stdin); assert d["summary"]["languages"] == 14, d["summary"]'
echo "ok: stringtable check --json parses"

# What real Windows makes of a UTF-8 table with a byte-order mark; files the
# Linux reader refuses are not handed to Windows' reader, which would read them
# whole (Wine's crashes on 2 GB), and reading any of them stays bounded.
expect 1 'fr_ca.cfg: UTF-8 with BOM file: Windows does not recognise the byte-order mark' check examples/res
mkdir -p "$scratch/hostile"
cp examples/res/en.cfg "$scratch/hostile/"
ln -s /dev/zero "$scratch/hostile/de.cfg"
truncate -s 2G "$scratch/hostile/es.cfg"
expect 1 'skipped es.cfg: it is over 16 MiB: not read' check "$scratch/hostile"
expect 2 'de.cfg'"'"' is over 16 MiB: not read' convert "$scratch/hostile/de.cfg" "$scratch/out.cfg"
expect 2 'res'"'"' is a directory, not a file' convert examples/res "$scratch/out.cfg"

mkdir -p "$scratch/home/EUQ/res"
cp examples/res/*.cfg "$scratch/home/EUQ/res/"
home=$("${wine[@]}" winepath -w "$scratch/home" | tr -d '\r')
"${wine[@]}" reg add "$key" /v HomeDir /t REG_SZ /d "$home" /f >/dev/null
"${wine[@]}" reg add "$key" /v EUQDefaultLangID /t REG_DWORD /d 0x804 /f >/dev/null
expect 0 "directory: $home\\EUQ\\res" show --registry zh_cn
expect 0 '14  IDS_SPAM_FOLDER_NAME                                         exact   垃圾邮件' show --registry zh_cn
expect 0 'default language (EUQDefaultLangID): 0x0804 zh_cn' show --registry zh_cn
expect 1 '14 languages, 1 missing, 1 empty, 0 skipped' check --registry
"${wine[@]}" reg add "$key" /v EUQDefaultLangID /t REG_DWORD /d 0xffffffff /f >/dev/null
expect 1 'warning: the default language 0xffffffff ? (EUQDefaultLangID) is no loaded language' check --registry
"${wine[@]}" reg add "$key" /v HomeDir /t REG_DWORD /d 1 /f >/dev/null
expect 2 'give no string-table directory: HomeDir is not a string (REG_SZ or REG_EXPAND_SZ) value' show --registry
"${wine[@]}" reg delete "$key" /f >/dev/null
expect 2 'give no string-table directory: the key does not exist' show --registry
"${wine[@]}" reg add "$key" /v HomeDir /t REG_SZ /d 'C:\no\such' /f >/dev/null
expect 2 "cannot read the directory 'C:\\no\\such\\EUQ\\res'" show --registry
