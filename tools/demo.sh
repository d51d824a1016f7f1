#!/usr/bin/env bash
# The demo: sets up what is missing (Debian 12, as root), builds, and runs the
# installer in the Wine sandbox through the robot, printing every box it
# shows and how each run ended.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 >/dev/null
python3 tests/wine/run_scenarios.py --show \
    --template build/wine/template --work build/wine/run \
    --stub build/win32/installer/sea-stub.exe --robot build/win32/tools/robot/robot.exe \
    examples/stub-demo.txt
