#!/bin/sh
# Runs a Windows program under Wine for ctest: wine-run.sh PREFIX WINE PROGRAM [ARGS...].
# The prefix is created on first use, under a lock, because ctest may start
# several programs at once and two Wine processes must not initialise the same
# prefix concurrently. Wine's own diagnostics are silenced so that test output
# stays readable.
set -eu
prefix=$1
wine=$2
shift 2

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono/Gecko installer dialogs while the prefix is created.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$prefix/.ul-initialised" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/.ul-initialised" ]; then
            "$wine" wineboot --init >/dev/null 2>&1 || true
            # wineboot returns before the registry is written out; wait for it.
            wineserver=$(dirname "$wine")/wineserver
            [ -x "$wineserver" ] && "$wineserver" -w || true
            [ -f "$prefix/system.reg" ] || { echo "wine-run.sh: cannot initialise $prefix" >&2; exit 1; }
            touch "$prefix/.ul-initialised"
        fi
    ) 9>"$prefix.lock"
fi

exec "$wine" "$@"
