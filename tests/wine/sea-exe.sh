#!/bin/sh
# sea.exe under Wine, in a fresh copy of the sandbox's template prefix: the
# product's sources are copied into the sandbox (which has no drive for this
# machine's files); sea.exe builds its installer over three disk files, and
# the bytes are those of the Linux tool's build of the same manifest; it
# verifies, lists and extracts it, checks a manifest, and refuses an output
# that is the manifest.
#   sea-exe.sh SANDBOX TEMPLATE SEA_EXE SEA STUB WORK
set -u
sandbox=$1 template=$2 sea_exe=$3 sea=$4 stub=$5 work=$6
failures=0
fail() { printf "FAIL %s\n" "$*"; failures=$((failures + 1)); }

"$sandbox" template "$template" || exit 1
rm -rf "$work" && mkdir -p "$work"
"$sandbox" clone "$template" "$work/prefix" || exit 1
trap '"$sandbox" remove "$work/prefix"; rm -rf "$work"' EXIT
product="$work/prefix/drive_c/product"
mkdir -p "$product/files/docs/sub"
cp "$sea_exe" "$product/sea.exe"
cp -p "$stub" "$product/stub.exe"
printf 'The program.\n' > "$product/files/tool.exe"
printf 'One.\n' > "$product/files/docs/one.txt"
printf 'Two.\n' > "$product/files/docs/sub/two.txt"
head -c 200000 /dev/urandom > "$product/files/data.bin"
printf 'Caf\303\251 terms.\n' > "$product/files/licence.txt"
cat > "$product/app.toml" <<'TOML'
product_name = "Windows Built"
flags = ["uninstall_support"]
licence_file = "files/licence.txt"
date = "2024-06-01 12:00:00"

[[file]]
source = "files/tool.exe"
shortcuts = ["start_menu"]

[[file]]
source = "files/docs/**/*.txt"
name = "docs"

[[file]]
source = "files/data.bin"
kind = "shared"
TOML

# Runs sea.exe in the sandbox with the expected exit status and a text that
# its output must hold.
expect_exe() {
    expected_status=$1 expected_text=$2
    shift 2
    "$sandbox" run "$work/prefix" 'C:\product\sea.exe' "$@" > "$work/out" 2>&1
    status=$?
    [ "$status" -eq "$expected_status" ] || fail "sea.exe $*: exit status $status, not $expected_status: $(cat "$work/out")"
    grep -qF -- "$expected_text" "$work/out" || fail "sea.exe $*: no \"$expected_text\" in: $(cat "$work/out")"
}

expect_exe 0 "sea " --version
expect_exe 0 "builds" check 'C:\product\app.toml' --stub 'C:\product\stub.exe'
expect_exe 0 "3 parts" build 'C:\product\app.toml' -o 'C:\product\out\setup.exe' --disk-size=100KB \
    --stub 'C:\product\stub.exe'
expect_exe 0 "sound, 4 files" verify 'C:\product\out\setup.exe'
expect_exe 0 'docs\sub\two.txt' list 'C:\product\out\setup.exe'
expect_exe 1 "would replace the manifest" build 'C:\product\app.toml' -o 'C:\product\app.toml' --stub 'C:\product\stub.exe'
expect_exe 0 "4 files written" extract 'C:\product\out\setup.exe' -C 'C:\product\x'
cmp -s "$product/x/program/docs/sub/two.txt" "$product/files/docs/sub/two.txt" || fail "extracted two.txt differs"
cmp -s "$product/x/shared/data.bin" "$product/files/data.bin" || fail "extracted data.bin differs"

# The Linux tool's build of the same manifest and stub: the same bytes.
(cd "$product" && "$sea" build app.toml -o linux/setup.exe --disk-size=100KB --stub stub.exe > /dev/null) ||
    fail "the Linux build failed"
for file in setup.exe Disk2.SEA Disk3.SEA; do
    cmp -s "$product/out/$file" "$product/linux/$file" || fail "$file differs between sea.exe and sea"
done

[ $failures -eq 0 ]
