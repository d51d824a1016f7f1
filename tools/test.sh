#!/usr/bin/env bash
# Every test: sets up what is missing (Debian 12, as root), builds both trees
# and runs the native unit tests and the Wine scenarios through CTest. The
# native code of this tree, the `sea` that the tests drive included, runs
# under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSEA_SANITIZE=ON >/dev/null
cmake --build build -j2
ctest --test-dir build --output-on-failure --no-tests=error -j2
