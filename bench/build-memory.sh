#!/usr/bin/env bash
# The peak memory of `sea build`: builds one corpus at both levels, whole and
# over disks, under /usr/bin/time -v, and prints each build's maximum
# resident set size beside the input (the bytes of the files packed) and the
# input plus the output (every file of the installer), as ratios. A build
# within its budget shows a ratio to input+output of at most 1.
#
#   [LEVELS="fast best"] bench/build-memory.sh [CORPUS_DIR] [MEGABYTES]
#
# Without CORPUS_DIR the corpus is MEGABYTES (default 150) of Wine's x86-64
# DLLs, copied into the output folder. Uses the optimised, unsanitized `sea`
# of build/release (built here; SEA=path overrides it) and the stub STUB, else
# that of the Wine tree, else a 64 KB stand-in: what the build holds of the
# stub is its size, and the figures do not depend on its code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-}
megabytes=${2:-150}
out=$root/build/release/build-memory
mkdir -p "$out"
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing: apt-get install time"; exit 1; }

sea=${SEA:-}
if [ -z "$sea" ]; then
    cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DSEA_SANITIZE=OFF -DSEA_WIN32_TREE=OFF \
        > "$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
    cmake --build "$root/build/release" --target sea -j2 > "$out/build.log" 2>&1 || { tail -n 30 "$out/build.log"; exit 1; }
    sea=$root/build/release/builder/sea
fi
stub=${STUB:-$root/build/$("$root/tools/wine-arch" 2>/dev/null || echo win64)/installer/sea-stub.exe}
if [ ! -f "$stub" ]; then
    stub=$out/stand-in-stub.exe
    # "MZ", the PE header at 0x40 with a 32-bit optional header, and the zero trailer.
    python3 - "$stub" <<'PY'
import sys
image = bytearray(64 * 1024)
image[0:2] = b"MZ"
image[0x3C] = 0x40
image[0x40:0x44] = b"PE\0\0"
image[0x58:0x5A] = b"\x0b\x01"
for i in range(0x100, len(image) - 4):
    image[i] = (i * 131 + (i >> 7)) & 0xFF
open(sys.argv[1], "wb").write(image)
PY
fi
stub_option=(--stub "$stub")

if [ -z "$corpus" ]; then
    corpus=$out/corpus-$megabytes
    if [ ! -d "$corpus" ]; then
        mkdir -p "$corpus.part"
        budget=$((megabytes * 1000 * 1000))
        for dir in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows \
                   /usr/lib/x86_64-linux-gnu/wine /usr/lib/wine; do
            [ -d "$dir" ] && break
        done
        # Largest first, so that the corpus has Wine's big DLLs as well as its many small ones.
        while IFS= read -r f; do
            size=$(stat -c %s "$f")
            [ "$size" -le "$budget" ] || continue
            cp "$f" "$corpus.part/"
            budget=$((budget - size))
            [ "$budget" -gt 200000 ] || break
        done < <(find "$dir" -maxdepth 1 -type f -name '*.dll' -printf '%s %p\n' | sort -k1,1nr -k2 | cut -d' ' -f2-)
        mv "$corpus.part" "$corpus"
    fi
fi
corpus=$(cd "$corpus" && pwd)
input=$(find "$corpus" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
files=$(find "$corpus" -type f | wc -l)

cat > "$out/memory.toml" <<TOML
product_name = "Memory"
publisher = "Memory"
version = "1.0"
default_directory = 'C:\\Memory'
flags = ["compressed_payload"]
date = 2024-06-01 12:00:00

[[file]]
source = "$corpus"
TOML

mb() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1e6 }'; }
echo "corpus $corpus: $files files, $(mb "$input") MB; sea $sea; stub $stub"
printf '%-6s %-6s %10s %10s %8s %12s %8s\n' level disks "output MB" "peak MB" "/input" "/input+output" seconds
# Split builds use disks of a tenth of the input, so that there are several.
disk_size=$((input / 10))
for level in ${LEVELS:-fast best}; do
    for split in whole split; do
        dir=$out/$level-$split
        rm -rf "$dir"
        mkdir -p "$dir"
        disk_option=()
        [ "$split" = split ] && disk_option=(--disk-size "$disk_size")
        /usr/bin/time -v -o "$dir/time.txt" "$sea" build "$out/memory.toml" -o "$dir/setup.exe" --level "$level" \
            "${disk_option[@]}" "${stub_option[@]}" > "$dir/sea.log" 2>&1 || { cat "$dir/sea.log"; exit 1; }
        peak=$(($(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/time.txt") * 1024))
        seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ { print $2 }' "$dir/time.txt")
        output=$(find "$dir" -type f \( -name setup.exe -o -name 'Disk*.SEA' \) -printf '%s\n' | awk '{ s += $1 } END { print s }')
        disks=$(find "$dir" -type f -name 'Disk*.SEA' | wc -l)
        [ "$split" = split ] && label=$((disks + 1)) || label=1
        printf '%-6s %-6s %10s %10s %8.2f %12.2f %8s\n' "$level" "$label" "$(mb "$output")" "$(mb "$peak")" \
            "$(awk -v p="$peak" -v i="$input" 'BEGIN { print p / i }')" \
            "$(awk -v p="$peak" -v i="$input" -v o="$output" 'BEGIN { print p / (i + o) }')" "$seconds"
        rm -f "$dir"/setup.exe "$dir"/Disk*.SEA
    done
done
