#!/bin/sh
# The stub starts at sea_entry, which restricts the DLL search before
# anything else runs: a build that lost the entry option would start
# elsewhere and search the installer's folder for late DLLs.
#   stub-entry.sh STUB.exe...   (each with its linker map, STUB.map, beside it)
set -eu
status=0
for stub in "$@"; do
    map="${stub%.exe}.map"
    start=$(x86_64-w64-mingw32-objdump -f "$stub" | sed -n 's/^start address 0x0*//p')
    entry=$(sed -n 's/^ *0x0*\([0-9a-f]*\) *_\{0,1\}sea_entry$/\1/p' "$map")
    if [ -z "$entry" ] || [ "$start" != "$entry" ]; then
        echo "FAIL $stub: starts at 0x$start, sea_entry is at 0x${entry:-(missing)}"
        status=1
    else
        echo "ok   $stub starts at sea_entry (0x$start)"
    fi
done
exit $status
