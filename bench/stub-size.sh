#!/usr/bin/env bash
# Prints the installer stub's size next to the x86 stubs of Debian's nsis
# package, with ratios (ours / theirs), then where its bytes come from: each
# layer and the runtime, read from the linker's map (bench/stub_map.py; pass
# --objects for every object file). Builds the stub first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
stub=${1:-build/win32/installer/sea-stub.exe}
peers=/usr/share/nsis/Stubs
if [ ! -f "$stub" ]; then
    cmake -S . -B build -G Ninja >/dev/null && cmake --build build -j2 >/dev/null
fi
ours=$(stat -c %s "$stub")
printf '%-28s %9s %8s\n' stub bytes ratio
printf '%-28s %9d %8s\n' "sea-stub.exe" "$ours" "1.00"
if [ ! -d "$peers" ]; then
    echo "(no peers: install Debian's nsis package)"
    exit 0
fi
smallest=
for peer in "$peers"/*-x86-*; do
    size=$(stat -c %s "$peer")
    printf '%-28s %9d %8.2f\n' "nsis $(basename "$peer")" "$size" "$(awk -v a="$ours" -v b="$size" 'BEGIN{print a/b}')"
    if [ -z "$smallest" ] || [ "$size" -lt "$smallest" ]; then smallest=$size; fi
done
printf '\nours / smallest x86 peer: %.2f (%s)\n' "$(awk -v a="$ours" -v b="$smallest" 'BEGIN{print a/b}')" \
    "$([ "$ours" -lt "$smallest" ] && echo "smaller" || echo "NOT smaller")"
printf 'ours / 40 KiB target: %.2f\n\n' "$(awk -v a="$ours" 'BEGIN{print a/40960}')"
python3 bench/stub_map.py "${stub%.exe}.map" "${@:2}"
