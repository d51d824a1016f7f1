#!/usr/bin/env bash
# Every test: sets up what is missing (Debian 12, as root), builds both trees
# and runs the native unit tests and the Wine scenarios through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
ctest --test-dir build --output-on-failure --no-tests=error -j2
