#!/usr/bin/env bash
# The demo: sets up what is missing (Debian 12, as root), builds, makes the
# demo product's installer with the sea tool, shows what it holds, and runs
# it in the Wine sandbox through the robot: installed automatically and once
# answering every question, then removed again both ways, printing every box
# and what is on the machine afterwards (files and dates, shortcuts, the
# uninstall values with their types, Install.LOG, and that nothing is left).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 >/dev/null
cmake --build build --target demo >/dev/null
for command in info list verify; do
    echo "\$ sea $command build/demo/setup.exe"
    build/builder/sea "$command" build/demo/setup.exe
    echo
done
# The programs that the sandbox runs: 32-bit, or built for x86-64 on a
# machine that runs no 32-bit code (tools/wine-arch).
tree=build/$(tools/wine-arch)
python3 tests/wine/run_scenarios.py --show \
    --template build/wine/template --work build/wine/run \
    --stub $tree/installer/sea-stub.exe --robot $tree/tools/robot/robot.exe \
    --programs $tree/tests/programs --installers build \
    examples/demo/demo.txt
