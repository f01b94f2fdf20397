#!/usr/bin/env bash
# Runs tools/demo.sh with an already built stringtable, then replays every
# command the demo printed, in order, in a fresh shell at the repository root
# with a bare environment: each must run as printed and print what it printed
# in the demo. Usage: demo_test.sh STRINGTABLE
set -euo pipefail
tool=$1
repo=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

STRINGTABLE=$tool BUILD_DIR=$scratch/build "$repo/tools/demo.sh" >"$scratch/demo.out"
grep '^\$ ' "$scratch/demo.out" | cut -c3- >"$scratch/commands"
(cd "$repo" && env -i HOME="$scratch" PATH=/usr/bin:/bin bash -c '
    while IFS= read -r line <&3; do
        printf "\n\$ %s\n" "$line"
        status=0
        eval "$line" || status=$?
        if [ "$status" -ne 0 ]; then printf "(exit status %d)\n" "$status"; fi
    done' 3<"$scratch/commands") >"$scratch/replay.out" 2>&1

diff -u "$scratch/demo.out" "$scratch/replay.out"
test "$(wc -l <"$scratch/commands")" -ge 12
grep -q '^(exit status 1)$' "$scratch/replay.out"            # the check finds the two deliberate gaps
grep -q '^14  IDS_SPAM_FOLDER_NAME  *exact  *垃圾邮件$' "$scratch/replay.out" # through the registry
grep -q '^0x0011  ja$' "$scratch/replay.out"
echo "demo: $(wc -l <"$scratch/commands") commands replayed as printed"
