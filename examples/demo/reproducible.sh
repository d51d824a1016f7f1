#!/bin/sh
# Builds the demo twice into fresh folders and compares the installers'
# SHA-256: the same inputs must give the same bytes.
#   reproducible.sh SEA MANIFEST WORK
set -eu
sea=$1 manifest=$2 work=$3
rm -rf "$work"
"$sea" build "$manifest" -o "$work/first/setup.exe" >/dev/null
sleep 1
"$sea" build "$manifest" -o "$work/second/setup.exe" >/dev/null
first=$(sha256sum < "$work/first/setup.exe")
second=$(sha256sum < "$work/second/setup.exe")
echo "first:  $first"
echo "second: $second"
rm -rf "$work"
[ "$first" = "$second" ]
