#!/usr/bin/env bash
# Builds the Debian package from a fresh Release build (the "package" workflow
# preset), installs it with dpkg as an administrator would, uses it (its man
# page, a consumer built with find_package and pkg-config against /usr, the
# stringtable tool on the sample tables), then purges it and checks that
# nothing of it is left. The package is removed on every exit, failed or not.
# Needs root, dpkg-dev (dpkg-shlibdeps), man-db, pkg-config, cmake, ninja, g++.
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$PWD
package=util-stringloader

if [ "$(id -u)" -ne 0 ]; then
    echo "package-test.sh: dpkg -i needs root" >&2
    exit 2
fi
if dpkg -s "$package" >/dev/null 2>&1; then
    echo "package-test.sh: $package is already installed on this machine; not touching it" >&2
    exit 2
fi

work=$(mktemp -d /tmp/ul-package-test.XXXXXX)
installed=0
cleanup() {
    status=$?
    if ((installed)) && dpkg -s "$package" >/dev/null 2>&1; then
        echo "== removing $package"
        dpkg_locked --purge "$package" >/dev/null || status=1
    fi
    rm -rf "$work"
    exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "package-test.sh: $*" >&2
    exit 1
}

# dpkg does not wait for its lock; another installation on the machine holds
# it for a while, so retry for up to five minutes.
dpkg_locked() {
    local output attempt
    for attempt in $(seq 60); do
        if output=$(dpkg "$@" 2>&1); then
            printf '%s\n' "$output"
            return 0
        fi
        grep -qi 'lock' <<<"$output" || break
        sleep 5
    done
    printf '%s\n' "$output" >&2
    return 1
}

start=$(date +%s)
echo "== Debian package: build"
rm -rf build/package
cmake --workflow --preset package >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "the package build failed"; }
debs=(build/package/"$package"_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb in build/package, found: ${debs[*]}"
deb=${debs[0]}
depends=$(dpkg-deb -f "$deb" Depends)
echo "$deb: Depends: $depends"
# dpkg-shlibdeps fills Depends from the ELF files; an empty or libc-less list
# means it did not run.
grep -q 'libc6 (>= ' <<<"$depends" || fail "Depends lacks libc6: shlibdeps did not run"
grep -q 'libstdc++6 (>= ' <<<"$depends" || fail "Depends lacks libstdc++6"
[ "$(dpkg-deb -I "$deb" triggers)" = "activate-noawait ldconfig" ] || fail "the package lacks its ldconfig trigger"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' >"$work/files"

echo "== Debian package: install with dpkg -i"
installed=1
dpkg_locked -i "$deb" >/dev/null
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for file in /usr/bin/stringtable /usr/lib/"$multiarch"/libutil_stringloader.so.1 \
    /usr/lib/"$multiarch"/libutil_stringloader.so /usr/include/util_stringloader/Util_StringLoader.h \
    /usr/include/util_stringloader/util_stringloader_c.h \
    /usr/lib/"$multiarch"/cmake/util_stringloader/util_stringloader-config.cmake \
    /usr/lib/"$multiarch"/pkgconfig/util_stringloader.pc; do
    [ -e "$file" ] || fail "not installed: $file"
done
grep -q 'libutil_stringloader.so.1 ' <<<"$(ldconfig -p)" || fail "the dynamic linker's cache lacks libutil_stringloader.so.1"
manual=$(man -w stringtable) || fail "man -w stringtable finds no manual page"
echo "man -w stringtable: $manual"
page=$(MANWIDTH=80 man -P cat stringtable 2>/dev/null)
for section in NAME SYNOPSIS COMMANDS OPTIONS 'EXIT STATUS' ENVIRONMENT EXAMPLES; do
    grep -q "^$section\$" <<<"$page" || fail "the manual page lacks the section $section"
done
for word in VELMORA_REGISTRY VELMORA_TRACE 'stringtable convert' 'stringtable which' --registry --to; do
    grep -qF -e "$word" <<<"$page" || fail "the manual page does not mention $word"
done

echo "== Debian package: a consumer built against /usr"
for find in package pkgconfig; do
    cmake -S tests/consumer -B "$work/consumer-$find" -G Ninja -DCONSUMER_FIND=$find >"$work/consumer.log" 2>&1 &&
        cmake --build "$work/consumer-$find" >>"$work/consumer.log" 2>&1 ||
        { cat "$work/consumer.log"; fail "the consumer ($find) does not build against the installed package"; }
    # /lib is /usr/lib on a merged-/usr system; the dynamic linker may name either.
    loaded=$(ldd "$work/consumer-$find/consumer" | grep libutil_stringloader || true)
    grep -Eq "libutil_stringloader\.so\.1 => (/usr)?/lib/$multiarch/" <<<"$loaded" ||
        fail "the consumer ($find) does not load the installed library: ${loaded:-not linked}"
    (cd "$work" && "$work/consumer-$find/consumer" "$source_dir/examples/res")
done

echo "== Debian package: the installed stringtable"
cd "$work"
locale=$(/usr/bin/stringtable locale zh_tw) || fail "stringtable locale zh_tw failed"
echo "$locale"
grep -q '0x0404' <<<"$locale" || fail "stringtable locale zh_tw does not say 0x0404"
set +e
check=$(/usr/bin/stringtable check "$source_dir/examples/res")
check_status=$?
set -e
echo "$check" | tail -n 4
# The samples have two deliberate gaps (one missing key, one empty): exit 1.
[ $check_status -eq 1 ] || fail "stringtable check exited with $check_status, expected 1"
grep -q '^14 languages, 1 missing, 1 empty' <<<"$check" || fail "stringtable check: unexpected summary"
cd "$source_dir"

echo "== Debian package: purge"
dpkg_locked --purge "$package" >/dev/null
installed=0
! dpkg -s "$package" >/dev/null 2>&1 || fail "$package is still installed"
left=()
while read -r file; do
    [ -e "$file" ] || [ -L "$file" ] && left+=("$file")
done <"$work/files"
for dir in /usr/include/util_stringloader /usr/lib/"$multiarch"/cmake/util_stringloader; do
    [ -e "$dir" ] && left+=("$dir")
done
((${#left[@]} == 0)) || fail "left behind after the purge: ${left[*]}"
! grep -q libutil_stringloader <<<"$(ldconfig -p)" || fail "the dynamic linker's cache still lists libutil_stringloader"
echo "== Debian package: built, installed, used and removed in $(($(date +%s) - start)) s"
