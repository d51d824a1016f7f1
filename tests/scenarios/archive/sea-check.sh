#!/bin/sh
# The sea tool on the scenarios' installers, natively: verify names, for each
# damage row of the Wine table (tests/scenarios/archive.txt), the same error
# code as the installer shows there, and fails; a sound installer passes; a
# missing or empty disk is reported as such; info and list show the header
# and the records; extract gives back every source byte and date, over three
# disk files; and SOURCE_DATE_EPOCH holds back the dates a build takes from
# the disk.
#   sea-check.sh SEA INSTALLERS WORK ARCHIVE_TABLE
set -u
sea=$1 installers=$2 work=$3 table=$4
here=$(dirname "$0")
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Runs sea with the arguments after the expected exit status and message
# (a text its standard error must hold; empty: none), and keeps its output.
expect_sea() {
    expected_status=$1 expected_message=$2
    shift 2
    output=$("$sea" "$@" 2>"$work/stderr")
    status=$?
    [ "$status" -eq "$expected_status" ] || fail "sea $*: exit status $status, not $expected_status: $(cat "$work/stderr")"
    if [ -n "$expected_message" ]; then
        grep -qF -- "$expected_message" "$work/stderr" || fail "sea $*: no \"$expected_message\" in: $(cat "$work/stderr")"
    fi
}

# Compares a text with the expected one, line by line.
expect_text() {
    what=$1 actual=$2 expected=$3
    [ "$actual" = "$expected" ] && return
    fail "$what differs:"
    printf '%s\n' "$expected" > "$work/expected" && printf '%s\n' "$actual" > "$work/actual"
    diff -u "$work/expected" "$work/actual" | sed 's/^/    /'
}

rm -rf "$work" && mkdir -p "$work"
for name in small multi; do
    expect_sea 0 "" verify "$installers/$name/setup.exe"
done

# place:code of each row whose table has the columns place and code.
rows=$(awk -F'|' '
    /^=== / { header = 0; place = 0; code = 0; next }
    /^\|/ {
        if (!header) {
            header = 1
            for (i = 2; i < NF; i++) { name = $i; gsub(/ /, "", name); if (name == "place") place = i; if (name == "code") code = i }
            next
        }
        if (place && code) { p = $place; c = $code; gsub(/ /, "", p); gsub(/ /, "", c); print p ":" c }
    }' "$table")
[ -n "$rows" ] || fail "no damage rows in $table"
for case in $rows; do
    place=${case%:*} code=${case#*:}
    rm -rf "$work/damaged" && cp -r "$installers/small" "$work/damaged"
    "$sea" damage "$work/damaged/setup.exe" "$place" || { fail "$place: cannot damage"; continue; }
    expect_sea 1 "error code $code:" verify "$work/damaged/setup.exe"
    echo "$place: $(cat "$work/stderr")"
done

rm -rf "$work/disks" && cp -r "$installers/multi" "$work/disks"
rm "$work/disks/Disk3.SEA"
expect_sea 1 "Disk3.SEA is missing: the installer would ask for disk #3" verify "$work/disks/setup.exe"
: > "$work/disks/Disk3.SEA"
expect_sea 1 "The file $work/disks/Disk3.SEA is empty." verify "$work/disks/setup.exe"

expect_sea 0 "" list "$installers/small/setup.exe"
expect_text "sea list" "$output" 'program          35  2001-02-03 14:05:09  desktop,start_menu  hello.txt  "Hello"
startup          35  2001-02-03 14:05:09  start_menu          bin\startup.txt  "Startup"
shared           33  1999-07-04 09:08:07  -                   lib\common.txt  "common"'

"$sea" extract "$installers/multi/setup.exe" -C "$work/out" > /dev/null || fail "extract"
cmp "$work/out/font/DejaVuSansMono.ttf" /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf || fail "font bytes"
cmp "$work/out/program/hello.txt" "$here/files/hello.txt" || fail "program bytes"
expected=$(date -d '2001-02-03 14:05:09' +%s)
for file in font/DejaVuSansMono.ttf program/hello.txt; do
    [ "$(stat -c %Y "$work/out/$file")" = "$expected" ] || fail "$file: date"
done

# A build of our own on a stand-in program of 96 bytes, the headers of a
# 32-bit Windows program and zeros ("MZ", the offset 0x40 of "PE", and the
# optional header's magic 0x10B at 0x58): its checksum is the seed
# 0x79E2BC9D, plus the words 0x5A4D, 0x40, 0x4550 and 0x10B, plus the
# length 96. The program and the file are dated 2033-05-18 03:33:20 UTC;
# SOURCE_DATE_EPOCH holds both back to 2000-01-01 00:00:00.
mkdir -p "$work/own"
{
    printf 'MZ'
    head -c 58 /dev/zero
    printf '\100\0\0\0PE\0\0'
    head -c 20 /dev/zero
    printf '\013\001'
    head -c 6 /dev/zero
} > "$work/own/stub.exe"
printf 'hi\n' > "$work/own/a.txt"
touch -d @2000000000 "$work/own/stub.exe" "$work/own/a.txt"
cat > "$work/own/m.toml" <<'TOML'
compress = false
product_name = "Own Product"
publisher = "Own Vendor"
flags = ["uninstall_support", "always_log"]
readme = "Line one\nLine two"

[[file]]
source = "a.txt"
shortcuts = ["start_menu"]
TOML
export TZ=UTC
SOURCE_DATE_EPOCH=946684800 expect_sea 0 "" build "$work/own/m.toml" -o "$work/own/out/setup.exe" --stub "$work/own/stub.exe"
expect_sea 0 "" info "$work/own/out/setup.exe"
# The plain payload is the one record: name, three words, 3 bytes, checksum,
# date and label: 6 + 12 + 3 + 4 + 24 + 2 bytes.
expect_text "sea info" "$output" 'archive offset     96
flags              0x00000044 uninstall_support always_log
stub date          2000-01-01 00:00:00
stub checksum      0x79E35DE5
file count         1
payload size       51
signature          not signed
publisher          "Own Vendor"
product name       "Own Product"
start menu folder  ""
default directory  ""
version            ""
product registry   ""
welcome text       ""
licence text       ""
readme text        "Line one\r\nLine two"
batch before       ""
batch after        ""
batch last         ""
uninstall batch 1  ""
uninstall batch 2  ""'
expect_sea 0 "" list "$work/own/out/setup.exe"
expect_text "sea list of a clamped build" "$output" 'program           3  2000-01-01 00:00:00  start_menu          a.txt  "a"'
SOURCE_DATE_EPOCH=soon expect_sea 2 "SOURCE_DATE_EPOCH must be a number of seconds" \
    build "$work/own/m.toml" -o "$work/own/bad/setup.exe" --stub "$work/own/stub.exe"
[ ! -e "$work/own/bad" ] || fail "a refused build left $work/own/bad behind"

rm -rf "$work"
[ $failures -eq 0 ]
