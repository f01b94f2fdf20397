#!/bin/sh
# Runs a Windows program under Wine for ctest: wine-run.sh PREFIX WINE PROGRAM [ARGS...].
# The prefix is created on first use, under a lock, because ctest may start
# several programs at once and two Wine processes must not initialise the same
# prefix concurrently. Wine's own diagnostics are silenced so that test output
# stays readable.
#
# Wine can fail to start a program at all: the client's first exchange with
# the wineserver is cut ("wine client error:0: recvmsg: Connection reset by
# peer"), seen once in a whole-suite run on two cores. That says nothing of the
# program, which never ran, so such a start is tried again (three tries in
# all); any other failure is the program's and is reported as it is.
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

wineserver=$(dirname "$wine")/wineserver
errors="$prefix.stderr.$$"
trap 'rm -f "$errors"' EXIT
try=1
while :; do
    # One server for the whole run, kept 30 s past its last client, so that
    # programs started one after another never reach a server as it shuts
    # down. When one is already running this returns at once.
    [ -x "$wineserver" ] && "$wineserver" -p30 >/dev/null 2>&1 || true
    status=0
    "$wine" "$@" 2>"$errors" || status=$?
    if [ "$status" -ne 0 ] && [ "$try" -lt 3 ] && head -n 1 "$errors" | grep -q '^wine client error'; then
        echo "wine-run.sh: Wine could not start $1 ($(head -n 1 "$errors")); trying again" >&2
        try=$((try + 1))
        sleep 1
        continue
    fi
    cat "$errors" >&2
    exit "$status"
done
