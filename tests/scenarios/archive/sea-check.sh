#!/bin/sh
# The sea tool on the scenarios' installers, natively: verify names, for each
# damage that the Wine scenarios show, the same error code as the installer
# and fails; a sound installer passes; extract gives back every source byte
# and date, over three disk files.
#   sea-check.sh SEA INSTALLERS WORK
set -u
sea=$1 installers=$2 work=$3
here=$(dirname "$0")
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

rm -rf "$work" && mkdir -p "$work"
for name in small multi; do
    "$sea" verify "$installers/$name/setup.exe" || fail "$name is not sound"
done

for case in trailer-negative:10 trailer-beyond:20 magic:20 header-length:22 header-key:25 header-byte:25 \
            stub-byte:40 payload-byte:60 record-name:70 record-length:80 record-content:90 \
            record-checksum:100 record-kind:110 record-escape:120; do
    place=${case%:*} code=${case#*:}
    rm -rf "$work/damaged" && cp -r "$installers/small" "$work/damaged"
    "$sea" damage "$work/damaged/setup.exe" "$place" || { fail "$place: cannot damage"; continue; }
    report=$("$sea" verify "$work/damaged/setup.exe" 2>&1)
    status=$?
    echo "$place: $report"
    [ $status -eq 1 ] || fail "$place: exit status $status"
    case $report in *"error code $code:"*) ;; *) fail "$place: expected code $code" ;; esac
done

rm -rf "$work/disks" && cp -r "$installers/multi" "$work/disks"
rm "$work/disks/Disk3.SEA"
report=$("$sea" verify "$work/disks/setup.exe" 2>&1) && fail "a missing disk passes"
echo "missing disk: $report"
: > "$work/disks/Disk3.SEA"
report=$("$sea" verify "$work/disks/setup.exe" 2>&1) && fail "an empty disk passes"
echo "empty disk: $report"

"$sea" extract "$installers/multi/setup.exe" -C "$work/out" || fail "extract"
cmp "$work/out/font/DejaVuSansMono.ttf" /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf || fail "font bytes"
cmp "$work/out/program/hello.txt" "$here/files/hello.txt" || fail "program bytes"
expected=$(date -d '2001-02-03 14:05:09' +%s)
for file in font/DejaVuSansMono.ttf program/hello.txt; do
    [ "$(stat -c %Y "$work/out/$file")" = "$expected" ] || fail "$file: date"
done

rm -rf "$work"
[ $failures -eq 0 ]
