#!/bin/sh
# The `sea` command line as a packager meets it: one row per command, with
# the exit status it must give and a text its output must hold.
#   sea-cli.sh SEA WORK_DIR
set -u
sea=$1
work=$2
rm -rf "$work"
mkdir -p "$work/p/out"
cd "$work"
printf 'Licence.\n' > p/licence.txt
printf 'Hello.\n' > p/hello.txt
printf 'placed\n' > p/out/Disk2.SEA
cat > p/app.toml <<'TOML'
product_name = "CLI Product"
default_directory = 'C:\CLI'
licence_file = "licence.txt"
date = 2024-06-01 12:00:00
[[file]]
source = "hello.txt"
TOML
cat > p/disks.toml <<'TOML'
product_name = "CLI Disks"
default_directory = 'C:\CLI'
date = 2024-06-01 12:00:00
[[file]]
source = "out/Disk2.SEA"
TOML
sed 's/^date = .*/compress = false/' p/app.toml > p/plain.toml
cp p/app.toml p/app.before
# Manifests with one fault each: name and line, then the date of one file.
bad() {  # name, the file entry's last line
    printf 'product_name = "Bad"\ndefault_directory = %s\n[[file]]\nsource = "hello.txt"\n%s\n' \
        "'C:\\Bad'" "$2" > "p/$1.toml"
}
bad quoted-date 'date = "2024-06-01 12:00:00"'
bad quoted-day 'date = "2024-06-01"'
bad no-leap-day 'date = "2023-02-29"'
bad early 'date = 1500-01-01'
bad hour 'date = 2024-06-01 25:00:00'
bad unknown-key 'sourc = "x"'
bad device 'name = "bin\\Con.txt"'
bad trailing-dot 'name = "trail. "'
bad accented-device "name = 'café\\Prn.txt'"
bad case-twin 'name = "HELLO.TXT"
[[file]]
source = "hello.txt"'
bad shared-twice 'kind = "shared"
[[file]]
source = "hello.txt"
kind = "shared"
[[file]]
source = "hello.txt"
name = "HELLO.TXT"'
# Files at every depth: ** matches no folder, one, or more.
mkdir -p p/deep/a/b p/deep/c
for f in top.txt a/one.txt a/b/two.txt c/three.md a/b/.hidden.txt; do echo x > "p/deep/$f"; done
printf 'product_name = "D"\ndefault_directory = %s\n[[file]]\nsource = "deep/**/*.txt"\nname = "docs"\n' "'C:\\D'" > p/deep.toml
# Warnings of check: no file, a date before 1980.
printf 'product_name = "E"\ndefault_directory = %s\n' "'C:\\E'" > p/empty.toml
bad old-date 'date = 1979-12-31 23:59:59'
# Licence texts: UTF-8 behind a byte-order mark, a character Windows-1252
# lacks, and a file saved in Latin-1.
printf '\357\273\277Licence \303\251t\303\251.\n' > p/bom.txt
printf 'One\nTwo \342\206\222 three\n' > p/arrow.txt
printf 'One\nLicence \351t\351.\n' > p/latin1.txt
for text in bom arrow latin1; do
    printf 'product_name = "T"\ndefault_directory = %s\nlicence_file = "%s.txt"\n' "'C:\\T'" $text > "p/text-$text.toml"
done
sed -i 's/^default_directory/flags = ["uninstall_support"]\ndefault_directory/' p/shared-twice.toml

failures=0
# status | text the output holds | arguments
while IFS='|' read -r status text arguments; do
    [ -n "$status" ] || continue
    # shellcheck disable=SC2086
    output=$("$sea" $arguments 2>&1)
    actual=$?
    case $output in
        *"$text"*) found=yes ;;
        *) found=no ;;
    esac
    if [ "$actual" != "$status" ] || [ "$found" = no ]; then
        echo "FAIL sea $arguments: exit $actual (want $status), output:"
        echo "$output" | sed 's/^/    /'
        echo "    (want it to hold: $text)"
        failures=$((failures + 1))
    else
        echo "ok   sea $arguments"
    fi
done <<'ROWS'
1|would replace the manifest|build p/app.toml -o p/app.toml
1|would replace the source p/licence.txt|build p/app.toml -o p/licence.txt
1|would replace the source p/hello.txt|build p/app.toml -o p/../p/hello.txt
1|would replace the source p/out/Disk2.SEA|build p/disks.toml -o p/out/setup.exe
0|usage: sea build MANIFEST|build --help
0|usage: sea build MANIFEST|list -h
0|sea 0.1.0|--version
0|1 file|build p/app.toml --level=fast -o app-fast.exe
0|1 part|build p/app.toml --disk-size=1MiB -o app-disks.exe
2|--disk-size needs a size|build p/app.toml --disk-size=1KiB2
2|--disk-size needs a size|build p/app.toml --disk-size 3GB
2|--disk-size needs a size|build p/app.toml --disk-size 12parsecs
2|the options are -o, -C, --stub, --disk-size, --level, --sign-cert, --sign-key, --sign-pass, --timestamp, --robot, --template, --keep, --timeout, --help|build p/app.toml --levl=fast
0|1 file|build p/quoted-date.toml -o quoted.exe
0|2024-06-01 12:00:00|list quoted.exe
0|1 file|build p/quoted-day.toml -o quoted-day.exe
1|p/no-leap-day.toml:3: file #1 (hello.txt): date: must be a local date and time|build p/no-leap-day.toml -o x.exe
1|p/early.toml:3: file #1 (hello.txt): date: Windows file dates start in 1601|build p/early.toml -o x.exe
1|p/hour.toml:5: Error while parsing time: expected hour between 0 and 23|build p/hour.toml -o x.exe
1|p/unknown-key.toml:3: file #1 (hello.txt): unknown key "sourc" (source, name, kind, shortcuts, label or date); did you mean source?|build p/unknown-key.toml -o x.exe
1|p/device.toml:3: file #1 (hello.txt): name "bin\Con.txt": "Con.txt" is a name that Windows keeps for a device|build p/device.toml -o x.exe
1|name "café\Prn.txt": "Prn.txt" is a name that Windows keeps for a device|build p/accented-device.toml -o x.exe
0|sea: warning: --level does nothing here: the manifest says compress = false|build p/plain.toml --level best -o plain.exe
1|"trail. " ends in a dot or a blank, which Windows drops from names|build p/trailing-dot.toml -o x.exe
1|p/case-twin.toml:6: file #2 (hello.txt): name "hello.txt" is the same file to Windows as "HELLO.TXT" (p/case-twin.toml:3: file #1 (hello.txt))|build p/case-twin.toml -o x.exe
0|3 files|build p/shared-twice.toml -o shared.exe
1|the stub p/licence.txt is not a Windows program|build p/app.toml --stub p/licence.txt -o x.exe
0|0 files|build p/text-bom.toml -o bom.exe
0|licence text       "Licence été.\r\n"|info bom.exe
1|p/text-arrow.toml:3: licence_file (arrow.txt): line 2, column 5: the character U+2192 "→" has no place in the Windows-1252 code page|build p/text-arrow.toml -o x.exe
1|p/text-latin1.toml:3: licence_file (latin1.txt): is not valid UTF-8 (line 2, column 9: the byte 0xE9)|build p/text-latin1.toml -o x.exe
0|3 files|build p/deep.toml -o deep.exe
0|docs\a\b\two.txt|list deep.exe
0|docs\a\one.txt|list deep.exe
0|docs\top.txt|list deep.exe
0|setup.toml written|init new
1|sea: new/setup.toml exists already; init writes only a new one|init new
0|new/setup.toml: builds|check new/setup.toml
0|program          41  2024-06-01 12:00:00  readme.txt  <- new/files/readme.txt|check new/setup.toml
0|1 file|build new/setup.toml -o new.exe
0|sea: warning: the manifest names no file|check p/empty.toml
0|sea: warning: the manifest names no file|build p/empty.toml -o empty.exe
0|is dated 1979-12-31 23:59:59, before 1980|check p/old-date.toml
1|sea: p/early.toml:3: file #1 (hello.txt): date: Windows file dates start in 1601|check p/early.toml
1|the stub p/licence.txt is not a Windows program|check p/app.toml --stub p/licence.txt
1|sea: missing.toml: cannot read the manifest: No such file or directory|build missing.toml
1|sea: p: a directory, not an installer|list p
1|sea: p/licence.txt: not an installer: not a Windows program|info p/licence.txt
ROWS
# Progress shows on a terminal only: files read, then the compression's
# share, rate and time.
quiet=$("$sea" build p/deep.toml -o quiet.exe 2>&1)
case $quiet in
    *reading* | *compressing*) echo "FAIL progress shown without a terminal: $quiet"; failures=$((failures + 1)) ;;
esac
shown=$(script -qec "$sea build p/deep.toml -o shown.exe" /dev/null 2>&1 | tr '\r' '\n')
case $shown in
    *"reading 3/3"*"compressing"*) ;;
    *) echo "FAIL no progress on a terminal: $shown"; failures=$((failures + 1)) ;;
esac
# What the refusals left alone.
cmp -s p/app.toml p/app.before || { echo "FAIL the manifest was changed"; failures=$((failures + 1)); }
[ "$(cat p/licence.txt)" = "Licence." ] || { echo "FAIL the licence was changed"; failures=$((failures + 1)); }
[ "$(cat p/out/Disk2.SEA)" = "placed" ] || { echo "FAIL the source disk was changed"; failures=$((failures + 1)); }
echo "$failures failed"
[ "$failures" = 0 ]
