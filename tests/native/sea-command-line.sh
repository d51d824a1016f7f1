#!/bin/sh
# The `sea` program as a packager meets it: help for every command, the
# version, options as --name=value, sizes with units, unknown options
# answered with the valid ones, outputs that would replace an input, files
# that are no installer, sea init followed by sea check, and progress shown
# on a terminal only.
#   sea-command-line.sh SEA WORK
set -u
sea=$1 work=$2
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Runs sea with the arguments after the expected exit status and a text its
# standard output and error together must hold (empty: any).
expect_sea() {
    expected_status=$1 expected_text=$2
    shift 2
    "$sea" "$@" > "$work/sea.out" 2>&1
    status=$?
    [ "$status" -eq "$expected_status" ] || fail "sea $*: exit status $status, not $expected_status: $(cat "$work/sea.out")"
    if [ -n "$expected_text" ]; then
        grep -qF -- "$expected_text" "$work/sea.out" || fail "sea $*: no \"$expected_text\" in: $(cat "$work/sea.out")"
    fi
}

rm -rf "$work" && mkdir -p "$work/p"
cd "$work" || exit 1
# The smallest stand-in that sea takes for the installer program (see
# tests/scenarios/archive/sea-check.sh).
{ printf 'MZ'; head -c 58 /dev/zero; printf '\100\0\0\0PE\0\0\114\001'; head -c 16 /dev/zero
  printf '\002\001\013\001stand-in\0\0\0\0'; } > stub.exe
printf 'Terms of use.\n' > p/licence.txt
head -c 300000 /dev/urandom > p/data.bin
cat > p/app.toml <<'TOML'
product_name = "App"
licence_file = "licence.txt"
date = "2024-06-01 12:00:00"
[[file]]
source = "data.bin"
TOML
cp p/app.toml app.toml.before

expect_sea 0 "sea " --version
expect_sea 0 "KiB, MiB and GiB powers of 1024" help
expect_sea 0 "KB, MB and GB are powers of" build --help
for command in build check init info list verify extract damage help; do
    expect_sea 0 "usage: sea $command" "$command" --help
    expect_sea 0 "usage: sea $command" help "$command"
done
expect_sea 2 "sea build has no option --levl; its options: -o/--output, --level, --disk-size, --stub, --help" \
    build p/app.toml --levl=fast
expect_sea 2 "sea list has no option -C; its options: none but --help" list x -C y
expect_sea 2 "unknown command bild" bild p/app.toml
expect_sea 2 "--level is fast or best, not quick" build p/app.toml --level=quick --stub=stub.exe
expect_sea 2 "--disk-size needs a size" build p/app.toml --disk-size 1.5XB --stub=stub.exe
expect_sea 2 "--disk-size 100.5 is not a whole number of bytes" build p/app.toml --disk-size 100.5 --stub=stub.exe
expect_sea 2 "sea build takes MANIFEST, not 0 arguments" build

# Output paths that are inputs: nothing is written.
expect_sea 1 "the output p/app.toml is the manifest; give another name with -o" build p/app.toml -o p/app.toml --stub stub.exe
expect_sea 1 "the output p/licence.txt is a text file of the manifest" build p/app.toml --output=p/licence.txt --stub stub.exe
expect_sea 1 "the output stub.exe is the stub" build p/app.toml -o=stub.exe --stub stub.exe
cmp -s p/app.toml app.toml.before || fail "a refused build changed the manifest"
expect_sea 1 "sea: missing.toml: cannot read the manifest: No such file or directory" build missing.toml
expect_sea 1 "the stub p/licence.txt is not a Windows program (no MZ header)" build p/app.toml --stub p/licence.txt
[ ! -e setup.exe ] || fail "a refused build wrote setup.exe"

# --level=value and sizes with units: a compressed build and a plain one
# split into files of at most 100 KiB.
expect_sea 0 "out/setup.exe: 1 file" build p/app.toml --level=fast -o out/setup.exe --stub=stub.exe
[ -s out/setup.exe ] || fail "no installer"
printf 'compress = false\n' > p/plain.toml && sed -n '1,5p' p/app.toml >> p/plain.toml
expect_sea 0 "3 parts" build p/plain.toml -o disks/setup.exe --disk-size=100KiB --stub stub.exe
for file in disks/setup.exe disks/Disk2.SEA disks/Disk3.SEA; do
    [ "$(stat -c %s "$file" 2>/dev/null || echo 999999)" -le 102400 ] || fail "$file is larger than 100 KiB or missing"
done
expect_sea 0 "sound" verify disks/setup.exe
expect_sea 0 "2 parts" build p/plain.toml -o mb/setup.exe --disk-size '0.2 MB' --stub stub.exe
expect_sea 0 "warning: p/plain.toml says compress = false, so --level acts on the header alone" \
    build p/plain.toml -o fast/setup.exe --level fast --stub stub.exe
[ "$(stat -c %s mb/setup.exe)" -le 200000 ] || fail "mb/setup.exe is larger than 0.2 MB"

# Progress: none into a pipe or file, a line on a terminal.
"$sea" build p/app.toml -o quiet/setup.exe --stub stub.exe > /dev/null 2> quiet.err
[ ! -s quiet.err ] || fail "progress without a terminal: $(cat quiet.err)"
script -qec "'$sea' build p/app.toml -o shown/setup.exe --stub stub.exe" /dev/null > shown.txt 2>&1
grep -q "reading file 1 of 1" shown.txt || fail "no reading progress on a terminal: $(cat shown.txt)"
grep -q "compressing 100%, 300.1 KB of 300.1 KB, " shown.txt || fail "no compression progress on a terminal: $(cat shown.txt)"

# Files that are not installers.
expect_sea 1 "sea: p: a directory, not an installer" list p
expect_sea 1 "sea: p/licence.txt: not an installer: not a Windows program (no MZ header)" info p/licence.txt

# sea init writes a manifest that sea check takes as it is; check lists the
# files and warns, and writes nothing.
expect_sea 0 "new/setup.toml written" init new
expect_sea 0 "can be built: 0 files" check new/setup.toml --stub stub.exe
grep -qF "warning: new/setup.toml: the manifest names no files" sea.out || fail "no warning for a manifest without files"
expect_sea 1 "new/setup.toml already exists" init new
expect_sea 0 "can be built: 1 file, 300.0 KB, compressed" check p/app.toml --stub stub.exe
grep -qF "program      300000  2024-06-01 12:00:00  -                   data.bin  \"data\"  <- p/data.bin" sea.out ||
    fail "sea check does not list the file: $(cat sea.out)"
expect_sea 1 "the output p/data.bin is the source of" check p/app.toml -o p/data.bin --stub stub.exe
[ "$(ls p)" = "$(printf 'app.toml\ndata.bin\nlicence.txt\nplain.toml')" ] || fail "sea check wrote into p: $(ls p)"

cd / && rm -rf "$work"
[ $failures -eq 0 ]
