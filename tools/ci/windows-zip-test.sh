#!/usr/bin/env bash
# Packs the Windows build (build/mingw, made by windows-build-test.sh; built
# here when missing) into its zip with CPack, unpacks the zip into an empty
# folder and uses it as a Windows team would: every DLL the programs import is
# either in the zip or part of Windows, stringtable.exe runs from the folder
# under Wine, a program built with mingw against the zip's CMake package
# loads the DLL from the folder and reads the sample tables, and so does a C
# program built for the MSVC ABI (clang and lld-link, no C runtime) against the
# zip's util_stringloader.lib. Installs clang, lld and llvm when missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$PWD
build=build/mingw
wine=/usr/lib/wine/wine64
objdump=x86_64-w64-mingw32-objdump
llvm_bin=/usr/lib/llvm-14/bin

missing=()
[ -x "$llvm_bin/clang" ] || missing+=(clang-14)
[ -x "$llvm_bin/lld-link" ] || missing+=(lld-14)
[ -x "$llvm_bin/llvm-dlltool" ] || missing+=(llvm-14)
if ((${#missing[@]})); then
    echo "== installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

fail() {
    echo "windows-zip-test.sh: $*" >&2
    exit 1
}

start=$(date +%s)
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "== Windows zip: configure and build (no build/mingw yet)"
    cmake --preset mingw >/dev/null
fi
cmake --build --preset mingw >/dev/null

echo "== Windows zip: pack"
rm -f "$build"/util-stringloader-*-win64.zip
cpack --preset zip >/dev/null
zips=("$build"/util-stringloader-*-win64.zip)
[ ${#zips[@]} -eq 1 ] && [ -f "${zips[0]}" ] || fail "expected one zip in $build, found: ${zips[*]}"
zip=$(realpath "${zips[0]}")

# Unpacked into an empty folder that lives in the build directory and goes
# with it; the Wine prefix is the one the tests use (created on first use).
unpacked=$build/zip-test
rm -rf "$unpacked"
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$zip")
root=$(find "$unpacked" -mindepth 1 -maxdepth 1 -type d)
[ -d "$root/bin" ] || fail "the zip has no top folder with bin/ in it"
echo "$(basename "$zip"):"
(cd "$root" && find . -type f | sed 's|^\./|  |' | sort)
for file in bin/util_stringloader.dll bin/stringtable.exe lib/util_stringloader.dll.a \
    lib/util_stringloader.lib lib/util_stringloader.def \
    include/util_stringloader/Util_StringLoader.h include/util_stringloader/basekit.h \
    include/util_stringloader/tracekit.h include/util_stringloader/util_stringloader_export.h \
    include/util_stringloader/util_stringloader_c.h \
    lib/cmake/util_stringloader/util_stringloader-config.cmake; do
    [ -f "$root/$file" ] || fail "not in the zip: $file"
done
headers=$(ls "$root/include/util_stringloader" | LC_ALL=C sort | tr '\n' ' ')
[ "$headers" = "Util_StringLoader.h basekit.h tracekit.h util_stringloader_c.h util_stringloader_export.h " ] ||
    fail "the zip's headers should be the five public ones, not: $headers"

# Imports: a DLL that is neither beside the programs nor part of Windows would
# stop them from starting on a machine without the mingw runtime.
system_dlls='^(kernel32|msvcrt|advapi32|user32|ucrtbase|ntdll|ws2_32|shell32|ole32|api-ms-win-.*)\.dll$'
for module in "$root"/bin/*.exe "$root"/bin/*.dll; do
    while read -r dll; do
        lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
        [[ $lower =~ $system_dlls ]] || [ -f "$root/bin/$dll" ] ||
            fail "$(basename "$module") imports $dll, which is neither in the zip nor part of Windows"
    done < <("$objdump" -p "$module" | sed -n 's/^[[:space:]]*DLL Name: //p')
done

cp -r examples/res "$root/res"
run_wine() {
    (cd "$root" && "$source_dir/cmake/wine-run.sh" "$source_dir/$build/wineprefix" "$wine" "$@")
}

echo "== Windows zip: stringtable.exe under Wine"
locale=$(run_wine bin/stringtable.exe locale zh_tw | tr -d '\r') || fail "stringtable.exe locale zh_tw failed"
echo "$locale"
grep -q '0x0404' <<<"$locale" || fail "stringtable.exe locale zh_tw does not say 0x0404"
check_status=0
run_wine bin/stringtable.exe check res >"$unpacked/check.txt" || check_status=$?
check=$(tr -d '\r' <"$unpacked/check.txt")
echo "$check" | tail -n 4
[ "$check_status" -eq 1 ] || fail "stringtable.exe check exited with $check_status, expected 1 (two deliberate gaps)"
grep -q '^14 languages, 1 missing, 1 empty' <<<"$check" || fail "stringtable.exe check: unexpected summary"

echo "== Windows zip: a mingw program built against the zip's CMake package"
consumer=$build/zip-consumer
rm -rf "$consumer"
# The toolchain confines package searches to the mingw sysroot, hence the
# package directory given outright.
cmake -S tests/consumer -B "$consumer" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCONSUMER_FIND=package \
    -Dutil_stringloader_DIR="$(realpath "$root")/lib/cmake/util_stringloader" \
    >"$consumer.log" 2>&1 && cmake --build "$consumer" >>"$consumer.log" 2>&1 ||
    { cat "$consumer.log"; fail "the consumer does not build against the zip"; }
cp "$consumer/consumer.exe" "$root/bin/"
run_wine bin/consumer.exe res | tr -d '\r'

echo "== Windows zip: an MSVC-ABI C program linked against lib/util_stringloader.lib"
# Built as an MSVC project builds a caller, from nothing but the zip's C header
# and util_stringloader.lib: clang for the MSVC target, lld-link, no C runtime
# (-fno-builtin keeps the compiler from calling memset/memcpy, which nothing
# here provides), kernel32 through an import library made from a .def.
msvc=$build/zip-msvc
rm -rf "$msvc"
mkdir -p "$msvc"
"$llvm_bin/clang" --target=x86_64-pc-windows-msvc -std=c99 -ffreestanding -fno-builtin -O2 \
    -Wall -Wextra -Wpedantic -Werror -I"$root/include/util_stringloader" \
    -c tests/capi/msvc_caller.c -o "$msvc/msvc_caller.obj"
"$llvm_bin/llvm-dlltool" -m i386:x86-64 -d tests/capi/msvc_caller_kernel32.def -l "$msvc/kernel32.lib"
"$llvm_bin/lld-link" /nologo /entry:caller_main /subsystem:console /nodefaultlib "/out:$root/bin/msvc_caller.exe" \
    "$msvc/msvc_caller.obj" "$root/lib/util_stringloader.lib" "$msvc/kernel32.lib"
imports=$("$objdump" -p "$root/bin/msvc_caller.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | LC_ALL=C sort | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll util_stringloader.dll " ] ||
    fail "msvc_caller.exe should import only KERNEL32.dll and util_stringloader.dll, not: $imports"

# One UTF-16LE table whose spam folder name lies above U+FFFF.
mkdir -p "$root/astral"
{
    printf '\xff\xfe'
    printf '[Strings]\r\nIDS_SPAM_FOLDER_NAME=Spam \xf0\x9f\x93\xa7\r\n' | iconv -f UTF-8 -t UTF-16LE
} >"$root/astral/en.cfg"
caller_status=0
run_wine bin/msvc_caller.exe >"$msvc/output.txt" || caller_status=$?
caller=$(tr -d '\r' <"$msvc/output.txt")
grep -E '^(FAIL|version|text|languages|msvc_caller)' <<<"$caller" || true
[ "$caller_status" -eq 0 ] || { echo "$caller"; fail "msvc_caller.exe exited with $caller_status"; }
# The version and the UTF-8 answers as the program printed them, against the
# zip's name and the sample tables' texts.
version=${zip##*/util-stringloader-}
for expected in "version ${version%-win64.zip}" \
    'text 0x404 14: 垃圾郵件' 'text 0xc0c 20: Boîte de réception' 'text 0x411 20: 受信トレイ' \
    'text 0x419 14: Спам' 'text 0x9 14: Spam 📧' \
    'languages 0x7 0x9 0xa 0xc 0x10 0x11 0x12 0x13 0x19 0x1d 0x404 0x416 0x804 0xc0c'; do
    grep -qxF -- "$expected" <<<"$caller" || fail "msvc_caller.exe did not print: $expected"
done
grep -qE '^msvc_caller: [0-9]+ checks, 0 failed$' <<<"$caller" || fail "msvc_caller.exe gave no summary"

echo "== Windows zip: packed, unpacked and used in $(($(date +%s) - start)) s"
