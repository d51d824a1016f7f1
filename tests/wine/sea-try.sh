#!/bin/sh
# sea try as a packager uses it: the demo installs and uninstalls without a
# trace; a product whose post-uninstallation batch writes a file is named
# with that file and fails; a product without an uninstaller fails saying
# so; and what is no installer, or a machine without Wine, is told plainly.
#   sea-try.sh SEA ROBOT STUB TEMPLATE DEMO_MANIFEST DEMO_PROGRAMS WORK
set -u
sea=$1 robot=$2 stub=$3 template=$4 manifest=$5 programs=$6 work=$7
failures=0
fail() { printf "FAIL %s\n" "$*"; failures=$((failures + 1)); }
rm -rf "$work" && mkdir -p "$work/leaky" "$work/plain"
cd "$work"

# expect STATUS TEXT ARGUMENTS...: the exit status, and a line the output holds.
expect() {
    want=$1 text=$2
    shift 2
    "$sea" "$@" > out.txt 2>&1
    status=$?
    [ "$status" -eq "$want" ] || fail "sea $*: exit $status, not $want"
    grep -qxF -- "$text" out.txt || { fail "sea $*: no line \"$text\" in:"; sed 's/^/    /' out.txt; }
}
try() { expect "$@" --robot "$robot" --template "$template"; }

demo=$work/demo/setup.exe
SEA_DEMO_PROGRAMS=$programs "$sea" build "$manifest" -o "$demo" --stub "$stub" > /dev/null || fail "the demo does not build"
printf 'The program.\n' > leaky/tool.exe
cat > leaky/leaky.toml <<'TOML'
product_name = "Leaky"
default_directory = 'C:\Program Files\Leaky'
flags = ["uninstall_support"]
uninstall_batch2 = 'echo left behind > %3\leak.txt'
[[file]]
source = "tool.exe"
TOML
sed -e 's/Leaky/Plain/g' -e 's/"uninstall_support"//' -e '/uninstall_batch2/d' leaky/leaky.toml > plain/plain.toml
cp leaky/tool.exe plain/
"$sea" build leaky/leaky.toml -o leaky/setup.exe --stub "$stub" > /dev/null || fail "the leaky product does not build"
"$sea" build plain/plain.toml -o plain/setup.exe --stub "$stub" > /dev/null || fail "the plain product does not build"

try 0 "The uninstallation left nothing behind." try "$demo"
# hello.exe's size is that of the tree's own build (i686 or x86-64).
hello_bytes=$(stat -c %s "$programs/hello.exe")
grep -qF "  + C:\\Program Files\\SEA Demo\\hello.exe  ($hello_bytes bytes, 2024-06-01 12:00:00)" out.txt ||
    fail "the demo's report does not list hello.exe as added"
grep -qF '  + HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\SEA Demo > DisplayName = "SEA Demo"' out.txt ||
    fail "the demo's report does not list its uninstall entry"
try 1 "The uninstallation left behind (1):" try leaky/setup.exe
grep -qE '^  \+ C:\\leak\.txt  \([0-9]+ bytes, ' out.txt || fail "the leaky product's file is not named as left behind"
try 1 "The installation registered no uninstaller (the manifest's flags lack uninstall_support), so all it added stays." \
    try plain/setup.exe
try 1 "sea: plain/plain.toml: not an installer: not a Windows program" try plain/plain.toml
# Without Wine on PATH: the tools are named before anything is tried.
mkdir -p nowine
ln -sf "$(command -v bash)" nowine/bash
PATH=$work/nowine DISPLAY='' "$sea" try "$demo" > out.txt 2>&1
status=$?
[ "$status" -eq 1 ] || fail "sea try without Wine: exit $status, not 1"
grep -qxF "sea: try runs on Linux and needs wine and xvfb-run on PATH (on Debian: apt-get install wine wine64 xvfb); missing: wine, xvfb-run" out.txt ||
    { fail "sea try without Wine does not name what is missing:"; cat out.txt; }
[ $failures -eq 0 ]
