#!/usr/bin/env bash
# Re-makes the pictures in docs/: the background window bearing a product's
# name, and the licence, readme and progress dialogs in front of it, as the
# test program "dialogs" puts them on a private X server (1024x768x24) in the
# Wine sandbox; then a real installation's welcome box, progress and
# completion box, the robot answering the boxes before them. (The folder
# dialog is left out: under Wine its X window stays where it was created
# while the dialog is drawn centred, so its rectangle cannot be cut out.)
# The dialogs are cut out at their own rectangles.
#
#   tools/screenshots.sh [BUILD_DIR]      (default: build)
#
# Two settings of the pictures' prefixes only: Wine draws the captions itself
# (there is no window manager to draw them), and, as Wine has no Times New
# Roman, Liberation Serif (its metric twin) stands in for it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(realpath -m "${1:-build}")
bash tools/setup-debian.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
tree=$(tools/wine-arch)
cmake --build "$build" --target "$tree" >/dev/null
template=$build/wine/template
program=$build/$tree/tests/programs/dialogs.exe
robot=$build/$tree/tools/robot/robot.exe
cmake --build "$build" --target sea_test_installers demo >/dev/null
full=$build/tests/installers/full/setup.exe
demo=$build/demo/setup.exe
tools/wine-sandbox template "$template"

mkdir -p "$build/wine"
work=$(mktemp -d "$build/wine/screenshots-XXXXXX")
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

# The geometry (WxH+X+Y) of the program's top-level X window whose line in
# xwininfo's list holds TEXT, once it is there.
window_geometry() {
    local text=$1 program=${2:-dialogs.exe} line
    for _ in $(seq 600); do
        line=$(xwininfo -root -children | grep -F -- "$text" | grep -F "\"$program\"" | grep -v '1x1+' | tail -n1 || true)
        if [ -n "$line" ]; then
            grep -oE '[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+' <<<"$line" | head -n1
            return 0
        fi
        sleep 0.1
    done
    echo "screenshots: no window \"$text\" appeared" >&2
    return 1
}

# shoot NAME WINDOW ARGUMENTS...: runs "dialogs ARGUMENTS", waits for the
# window, and writes docs/NAME.png: the whole screen for the background
# window, else the window's own rectangle.
shoot() {
    local name=$1 window=$2 prefix=$work/$1 geometry
    shift 2
    tools/wine-sandbox clone "$template" "$prefix"
    cp "$program" "$prefix/drive_c/dialogs.exe"
    tools/wine-sandbox run "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    tools/wine-sandbox run "$prefix" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
        /v 'Times New Roman' /d 'Liberation Serif' /f >/dev/null 2>&1
    tools/wine-sandbox run "$prefix" 'C:\dialogs.exe' "$@" >/dev/null 2>&1 &
    local running=$!
    geometry=$(window_geometry "$window")
    # Time to paint, and for the caption's text to settle.
    sleep 2
    if [ "$name" = background ]; then
        import -window root -strip "$root/docs/$name.png"
    else
        import -window root -crop "$geometry" +repage -strip "$root/docs/$name.png"
    fi
    tools/wine-sandbox remove "$prefix"
    wait "$running" 2>/dev/null || true
    echo "docs/$name.png ($geometry)"
}

# shoot_installer NAME WINDOW INSTALLER SETTLE STEPS...: runs the robot with
# STEPS (one a word) on INSTALLER (a setup.exe of the build tree) and writes
# docs/NAME.png once WINDOW is up, SETTLE seconds later.
shoot_installer() {
    local name=$1 window=$2 installer=$3 settle=$4 prefix=$work/$1 geometry
    shift 4
    tools/wine-sandbox clone "$template" "$prefix"
    cp "$installer" "$prefix/drive_c/setup.exe"
    cp "$robot" "$prefix/drive_c/robot.exe"
    tools/wine-sandbox run "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    tools/wine-sandbox run "$prefix" reg add 'HKCU\Software\Wine\Fonts\Replacements' \
        /v 'Times New Roman' /d 'Liberation Serif' /f >/dev/null 2>&1
    printf '%s\n' "$@" | tools/wine-sandbox run "$prefix" 'C:\robot.exe' >/dev/null 2>&1 &
    local running=$!
    sleep "$settle"
    # Read once settled: a dialog may be created elsewhere and then centred.
    geometry=$(window_geometry "$window" setup.exe)
    import -window root -crop "$geometry" +repage -strip "$root/docs/$name.png"
    tools/wine-sandbox remove "$prefix"
    wait "$running" 2>/dev/null || true
    echo "docs/$name.png ($geometry)"
}

mkdir -p docs
shoot background "1024x768+0+0" background "SEA Demo Product 1.0"
shoot licence '"End-User License Agreement"' licence
shoot readme '"Important Information"' readme
shoot progress '"Installing..."' hold-progress 40
shoot_installer welcome '"Self-Extracting Archive v2.4"' "$full" 2 'run "C:\\setup.exe"' expect 'sleep 20000' 'press No'
shoot_installer storing '"Installing..."' "$demo" 0 'pass Installing...' 'run "C:\\setup.exe"' expect 'press Yes' \
    expect 'press #1001' expect 'press #1001' expect 'sleep 20000' 'press OK'
shoot_installer complete '"Installation Complete"' "$demo" 2 'pass Installing...' 'run "C:\\setup.exe"' expect \
    'press Yes' expect 'press #1001' expect 'press #1001' expect 'sleep 20000' 'press OK'
