#!/bin/sh
# Builds the codec benchmark optimised and without sanitizers in build/release
# and runs it: our levels, LZ4 and zlib on Wine's i386 binaries and on plain
# text from this machine. Arguments go to the benchmark (a binary directory,
# then text directories). Needs liblz4-dev and zlib1g-dev.
#
#   bench/codec.sh [binary_directory [text_directory...]]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/release
mkdir -p "$out"
cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release -DSEA_SANITIZE=OFF -DSEA_WIN32_TREE=OFF \
    -DSEA_BENCH=ON > "$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
cmake --build "$out" --target codec_bench -j2 > "$out/build.log" 2>&1 || { tail -n 40 "$out/build.log"; exit 1; }
exec "$out/bench/codec_bench" "$@"
