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
cp p/app.toml p/app.before

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
2|the options are -o, -C, --stub, --disk-size, --level, --help|build p/app.toml --levl=fast
ROWS
# What the refusals left alone.
cmp -s p/app.toml p/app.before || { echo "FAIL the manifest was changed"; failures=$((failures + 1)); }
[ "$(cat p/licence.txt)" = "Licence." ] || { echo "FAIL the licence was changed"; failures=$((failures + 1)); }
[ "$(cat p/out/Disk2.SEA)" = "placed" ] || { echo "FAIL the source disk was changed"; failures=$((failures + 1)); }
echo "$failures failed"
[ "$failures" = 0 ]
