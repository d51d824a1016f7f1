#!/bin/sh
# Builds the fuzz targets (the codec's two, the header reader and the record
# reader) with clang and libFuzzer (AddressSanitizer and UBSan on) in
# build/fuzz (or $SEA_FUZZ_DIR), then runs each for SECONDS (default 60), or
# for N minutes with --minutes N. Each keeps its corpus in
# build/fuzz/corpus-TARGET between runs, so a long campaign goes on where the
# last one stopped. The test command runs it through CTest.
# Fails when a target crashes, leaks, hangs or reports a disagreement; the
# input that did it is left in build/fuzz as crash-*, leak-* or timeout-*.
#
#   tools/fuzz.sh [SECONDS | --minutes N]
set -eu

if [ "${1:-}" = "--minutes" ]; then
    seconds=$(( ${2:?minutes} * 60 ))
else
    seconds=${1:-60}
fi
root=$(cd "$(dirname "$0")/.." && pwd)
out=${SEA_FUZZ_DIR:-$root/build/fuzz}
mkdir -p "$out"

cxx=${CXX_FUZZ:-clang++}
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root"
# The decoder with what it needs of the foundation; the fuzz targets bring
# their own fatal_error.
codec="$root/foundation/core.cpp $root/foundation/byte_buffer.cpp $root/foundation/string.cpp $root/archive/codec.cpp $root/tests/fuzz/fuzz_fatal.cpp"
readers="$root/archive/header.cpp $root/archive/entry.cpp $root/archive/format.cpp $root/archive/image_fields.cpp $root/platform/datetime.cpp"
compressor=""
for unit in block_writer compressor fast_parser match_finder optimal_parser reference_parser; do
    compressor="$compressor $root/builder/$unit.cpp"
done

echo "building the fuzz targets in $out"
$cxx $flags $codec "$root/tests/fuzz/decode_block_fuzz.cpp" -o "$out/decode_block_fuzz"
$cxx $flags $codec $compressor "$root/tests/fuzz/round_trip_fuzz.cpp" -o "$out/round_trip_fuzz"
$cxx $flags $codec $readers "$root/tests/fuzz/header_fuzz.cpp" -o "$out/header_fuzz"
$cxx $flags $codec $readers "$root/tests/fuzz/records_fuzz.cpp" -o "$out/records_fuzz"

# core.cpp replaces the plain operator new and delete but not the nothrow
# forms, which libFuzzer uses for its corpus; AddressSanitizer would call
# that pairing a mismatch although both ends are malloc and free.
export ASAN_OPTIONS=${ASAN_OPTIONS:-alloc_dealloc_mismatch=0}

status=0
for target in decode_block_fuzz round_trip_fuzz header_fuzz records_fuzz; do
    corpus=$out/corpus-$target
    mkdir -p "$corpus"
    # Inputs kept in the tree (ones that once found a fault) run first, every
    # time; new ones go to the build's corpus.
    kept=$root/tests/fuzz/inputs/$target
    [ -d "$kept" ] || kept=
    echo "running $target for $seconds s"
    if ! (cd "$out" && "./$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -max_len=65536 -print_final_stats=1 "$corpus" ${kept:+"$kept"} > "$target.log" 2>&1); then
        echo "$target FAILED; see $out/$target.log"
        tail -n 30 "$out/$target.log"
        status=1
    else
        grep -E "^stat::number_of_executed_units|^Done" "$out/$target.log" || true
    fi
done
exit $status
