#!/usr/bin/env bash
# `make clean` keeps the payments `make run` keeps in the build folder, byte for byte, and
# takes everything else; a build folder whose data file is empty goes whole.
set -euo pipefail
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
payments=$'Insurance|Sub|2026-06-01|1,200.00|12\r\nTax|Sub|2026-12-01|1200|12\r\n'
mkdir -p "$top/build/tests" "$top/build-asan"
printf '%s' "$payments" > "$top/build/Kestrow.txt"
echo x > "$top/build/CMakeCache.txt"
: > "$top/build-asan/Kestrow.txt"
said=$(make -s -C "$1" clean BUILD="$top/build" BUILD_SAN="$top/build-asan" BUILD_FUZZ="$top/none")
[[ $said == *"kept $top/build/Kestrow.txt"* ]] || { echo "not told: $said"; exit 1; }
[[ $(ls -A "$top/build") == Kestrow.txt ]] || { echo "left: $(ls -A "$top/build")"; exit 1; }
printf '%s' "$payments" | cmp - "$top/build/Kestrow.txt"
[[ ! -e $top/build-asan ]] || { echo "the folder with an empty data file was kept"; exit 1; }
