#!/usr/bin/env bash
# Whole installations side by side with NSIS (Debian's nsis package: another
# design, used here only as a black box to measure against). Builds one
# corpus installer with `sea` (fast and best) and with makensis (zlib, lzma,
# solid lzma), then, each in a fresh Wine sandbox, times the silent
# installation (/a against NSIS's /S) and the silent uninstallation, cold
# (a fresh prefix whose Wine server has just started) and warm (the same
# prefix again, its server and the page cache kept), several runs each. It
# reports the peak memory of the installer process over that of a bare Wine
# program, and the installers' sizes. Every figure is printed beside the
# peer's from the same run, as a ratio (ours / NSIS zlib), in one table.
#
#   bench/installer.sh [CORPUS_DIR] [RUNS]
#
# Without CORPUS_DIR the corpus is 40 MB of Wine's i386 DLLs and programs
# and 10 MB of text from /usr/share/doc. Uses the optimised `sea` of
# build/release (built here) and the stub of the tree this machine runs (on a
# machine without 32-bit code: the x86-64 build of the same sources, and
# then NSIS's 32-bit installers cannot run; their build time and size are
# still measured).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# One X display for every run, so that a prefix's Wine keeps its desktop
# between the programs that it times.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
corpus=${1:-}
runs=${2:-3}
out=$root/build/release/installer
rm -rf "$out"
mkdir -p "$out"

# The optimised sea, and the stub and inspector of the Wine tree.
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DSEA_SANITIZE=OFF -DSEA_WIN32_TREE=OFF \
    > "$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
cmake --build "$root/build/release" --target sea -j2 > "$out/build.log" 2>&1 || { tail -n 30 "$out/build.log"; exit 1; }
sea=$root/build/release/builder/sea
arch=$("$root/tools/wine-arch")
tree=$root/build/$arch
stub=$tree/installer/sea-stub.exe
[ -f "$stub" ] || { echo "no $stub: build the project first (cmake --build build)"; exit 1; }
command -v makensis >/dev/null || { echo "makensis is missing: apt-get install nsis"; exit 1; }

if [ -z "$corpus" ]; then
    corpus=$out/corpus
    mkdir -p "$corpus/bin" "$corpus/doc"
    budget=$((40 * 1000 * 1000))
    for f in $(ls -S /usr/lib/i386-linux-gnu/wine/i386-windows/*.{dll,exe} 2>/dev/null | sort); do
        size=$(stat -c %s "$f")
        [ "$size" -le "$budget" ] || continue
        cp "$f" "$corpus/bin/"
        budget=$((budget - size))
        [ "$budget" -gt 200000 ] || break
    done
    budget=$((10 * 1000 * 1000))
    n=0
    while IFS= read -r f; do
        size=$(stat -c %s "$f")
        [ "$size" -le "$budget" ] || continue
        n=$((n + 1))
        cp "$f" "$corpus/doc/$n-$(basename "$f")"
        budget=$((budget - size))
        [ "$budget" -gt 20000 ] || break
    done < <(find /usr/share/doc -type f -size +1k \( -name '*.txt' -o -name 'README*' -o -name 'NEWS*' -o -name 'changelog' -o -name 'copyright' \) | sort)
fi
corpus=$(cd "$corpus" && pwd)
files=$(find "$corpus" -type f | wc -l)
bytes=$(du -sb "$corpus" | cut -f1)

# The installers.
cat > "$out/bench.toml" <<TOML
product_name = "Bench"
publisher = "Bench"
version = "1.0"
default_directory = 'C:\\Bench'
product_registry = 'Bench\\Bench Product'
flags = ["uninstall_support", "compressed_payload"]
date = 2024-06-01 12:00:00

[[file]]
source = "$corpus"
TOML
nsi() {  # directive name [source folder]
    cat <<NSI
Unicode true
$1
Name "Bench Product"
OutFile "$out/nsis-$2.exe"
InstallDir "C:\\Bench"
RequestExecutionLevel admin
SilentInstall silent
Section
  SetOutPath "\$INSTDIR"
  File /r "${3:-$corpus}/*"
  WriteUninstaller "\$INSTDIR\\uninst.exe"
  WriteRegStr HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bench Product" "UninstallString" "\$INSTDIR\\uninst.exe"
SectionEnd
Section "Uninstall"
  RMDir /r "\$INSTDIR"
  DeleteRegKey HKLM "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Bench Product"
SectionEnd
NSI
}
declare -A build_seconds size
timed() {  # label command...
    local start end
    start=$(date +%s.%N)
    "${@:2}" > "$out/$1.log" 2>&1 || { echo "$1 failed:"; tail -n 20 "$out/$1.log"; exit 1; }
    end=$(date +%s.%N)
    build_seconds[$1]=$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.2f", b-a}')
}
for level in fast best; do
    timed "sea-$level" "$sea" build "$out/bench.toml" -o "$out/sea-$level.exe" --level "$level" --stub "$stub"
    size[sea-$level]=$(stat -c %s "$out/sea-$level.exe")
done
# An installer of one small file: what the installer itself holds in memory
# whatever its payload (its DLLs, windows and code), so that the memory that
# grows with the payload can be told apart.
# The same payload stored: the difference from sea-best is decoding.
sed 's|^flags = .*|flags = ["uninstall_support"]\ncompress = false|' "$out/bench.toml" > "$out/stored.toml"
"$sea" build "$out/stored.toml" -o "$out/sea-stored.exe" --stub "$stub" > "$out/sea-stored.log" 2>&1
size[sea-stored]=$(stat -c %s "$out/sea-stored.exe")
mkdir -p "$out/empty"
echo "one small file" > "$out/empty/readme.txt"
sed "s|^source = .*|source = \"$out/empty\"|" "$out/bench.toml" > "$out/empty.toml"
"$sea" build "$out/empty.toml" -o "$out/sea-empty.exe" --stub "$stub" > "$out/sea-empty.log" 2>&1
for c in zlib lzma solid-lzma; do
    case $c in
        zlib) directive="SetCompressor zlib" ;;
        lzma) directive="SetCompressor lzma" ;;
        solid-lzma) directive="SetCompressor /SOLID lzma" ;;
    esac
    nsi "$directive" "$c" > "$out/nsis-$c.nsi"
    timed "nsis-$c" makensis -V1 "$out/nsis-$c.nsi"
    size[nsis-$c]=$(stat -c %s "$out/nsis-$c.exe")
done
# NSIS's installer of the one small file, for what its every installation costs.
nsi "SetCompressor zlib" empty "$out/empty" > "$out/nsis-empty.nsi"
makensis -V1 "$out/nsis-empty.nsi" > "$out/nsis-empty.log" 2>&1 || { cat "$out/nsis-empty.log"; exit 1; }
size[nsis-empty]=$(stat -c %s "$out/nsis-empty.exe")

# The runs under Wine: each installer in a prefix of its own.
template=$root/build/wine/template
"$root/tools/wine-sandbox" template "$template" > /dev/null
export SEA_WINE_ARCH=$arch
declare -A install_cold install_warm remove_cold remove_warm memory cpu_warm
peer_runs=yes
if [ "$arch" = win64 ]; then peer_runs=no; fi

# Seconds of one program in a prefix, from its start to its end, and its peak
# memory (kB) and processor seconds (user and system) in $out/rss. The
# prefix's server is kept running (serve), so neither its start nor the
# seconds it lingers after the last program count.
run_timed() {  # prefix program args...
    local start end
    # What earlier runs left to be written goes to the disk first: NSIS
    # flushes nothing, and its writes would otherwise land on the next run.
    sync
    start=$(date +%s.%N)
    # A run that asks something would wait for ever: ten minutes is a failure.
    /usr/bin/time -f "%M %U %S" -o "$out/rss" timeout 600 "$root/tools/wine-sandbox" run "$@" > /dev/null 2>&1 || true
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN{printf "%.3f", b-a}'
}
# Our uninstaller ends by starting a batch that deletes it once it has
# ended; the next installation must not start before the batch is done, or
# the batch deletes the uninstaller that installation wrote. Its time is not
# the uninstallation's.
batch_done() {  # prefix
    local i
    for ((i = 0; i < 600; i++)); do
        [ -e "$1/drive_c/delunins.bat" ] || [ -e "$1/drive_c/Bench/Uninstall.EXE" ] || return 0
        sleep 0.1
    done
    echo "warning: the self-removal batch did not end"
}
median() { tr ' ' '\n' | sort -g | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
# A run's seconds over those of a bare Wine program run the same way: Wine's
# own start and the wait for its server to end are not the installer's.
net() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3f", a-b}'; }

prefix=$out/prefix
baseline_prefix=$out/baseline
mkdir -p "$out/tools"
if [ "$arch" = win64 ]; then compiler=x86_64-w64-mingw32-g++; else compiler=i686-w64-mingw32-g++; fi
"$compiler" -Os -mwindows -o "$out/tools/bare.exe" "$root/bench/bare_window.cpp"
bare_cold="" bare_warm="" bare_cpu="" bare_kb=""
for ((r = 0; r < runs; r++)); do
    "$root/tools/wine-sandbox" clone "$template" "$baseline_prefix"
    "$root/tools/wine-sandbox" serve "$baseline_prefix"
    mkdir -p "$baseline_prefix/drive_c/tools"
    cp "$out/tools/bare.exe" "$baseline_prefix/drive_c/tools/"
    bare_cold+=" $(run_timed "$baseline_prefix" 'C:\tools\bare.exe')"
    bare_warm+=" $(run_timed "$baseline_prefix" 'C:\tools\bare.exe')"
    bare_cpu+=" $(tail -n 1 "$out/rss" | awk '{printf "%.2f", $2 + $3}')"
    bare_kb+=" $(tail -n 1 "$out/rss" | cut -d' ' -f1)"
    "$root/tools/wine-sandbox" remove "$baseline_prefix"
done
baseline_cold=$(echo $bare_cold | median)
baseline_warm=$(echo $bare_warm | median)
baseline_cpu=$(echo $bare_cpu | median)
baseline_kb=$(echo $bare_kb | median)

arguments_of() {  # name: the silent installation's and uninstallation's command lines
    case $1 in
        sea-*) install_args=(/a) ; uninstall=('C:\Bench\Uninstall.EXE' /u:Bench /a) ;;
        nsis-*) install_args=(/S) ; uninstall=('C:\Bench\uninst.exe' /S '_?=C:\Bench') ;;
    esac
}
# The runs go round the installers, so that a slow spell of the disk falls on
# all of them alike rather than on one.
names="sea-empty nsis-empty sea-stored sea-fast sea-best nsis-zlib nsis-lzma nsis-solid-lzma"
declare -A cold_i warm_i cold_r warm_r rss cpu
for ((r = 0; r < runs; r++)); do
    for name in $names; do
        arguments_of "$name"
        if [ "$peer_runs" = no ] && [[ $name == nsis-* ]]; then continue; fi
        "$root/tools/wine-sandbox" clone "$template" "$prefix"
        "$root/tools/wine-sandbox" serve "$prefix"
        mkdir -p "$prefix/drive_c/dl"
        cp "$out/$name.exe" "$prefix/drive_c/dl/setup.exe"
        # Cold: a fresh prefix, its server just started.
        cold_i[$name]+=" $(run_timed "$prefix" 'C:\dl\setup.exe' "${install_args[@]}")"
        rss[$name]+=" $(tail -n 1 "$out/rss" | cut -d' ' -f1)"
        # sed reads the whole list: head would end the pipe early, and the
        # sort that it cut off would end this script under pipefail.
        first=$(cd "$corpus" && find . -type f | sort | sed -n 1p)
        if [[ $name == *-empty ]]; then first=readme.txt; fi
        [ -e "$prefix/drive_c/Bench/$first" ] || echo "warning: $name did not install"
        cold_r[$name]+=" $(run_timed "$prefix" "${uninstall[@]}")"
        batch_done "$prefix"
        # Warm: the same prefix again, its files in the page cache.
        warm_i[$name]+=" $(run_timed "$prefix" 'C:\dl\setup.exe' "${install_args[@]}")"
        cpu[$name]+=" $(tail -n 1 "$out/rss" | awk '{printf "%.2f", $2 + $3}')"
        warm_r[$name]+=" $(run_timed "$prefix" "${uninstall[@]}")"
        batch_done "$prefix"
        [ ! -e "$prefix/drive_c/Bench/$first" ] || echo "warning: $name left files behind"
        "$root/tools/wine-sandbox" remove "$prefix"
    done
done
for name in $names; do
    if [ "$peer_runs" = no ] && [[ $name == nsis-* ]]; then continue; fi
    install_cold[$name]=$(net "$(echo ${cold_i[$name]} | median)" "$baseline_cold")
    install_warm[$name]=$(net "$(echo ${warm_i[$name]} | median)" "$baseline_warm")
    # An uninstallation follows the installation in its prefix: Wine is up
    # by then, as for the bare program's second run.
    remove_cold[$name]=$(net "$(echo ${cold_r[$name]} | median)" "$baseline_warm")
    remove_warm[$name]=$(net "$(echo ${warm_r[$name]} | median)" "$baseline_warm")
    memory[$name]=$(( $(echo ${rss[$name]} | median) - baseline_kb ))
    cpu_warm[$name]=$(net "$(echo ${cpu[$name]} | median)" "$baseline_cpu")
done

# The files' share split further: one more warm installation of the stored
# payload under strace, for what its flushes (each file is flushed before its
# date is stamped) and the stamps themselves take in the kernel. strace slows
# the program, not the disk, so these are read as shares, not as its time.
# A fresh prefix in which the installer has run and been uninstalled once,
# for one more warm installation that is traced.
warm_prefix() {  # name
    arguments_of "$1"
    "$root/tools/wine-sandbox" clone "$template" "$prefix"
    "$root/tools/wine-sandbox" serve "$prefix"
    mkdir -p "$prefix/drive_c/dl"
    cp "$out/$1.exe" "$prefix/drive_c/dl/setup.exe"
    run_timed "$prefix" 'C:\dl\setup.exe' "${install_args[@]}" > /dev/null
    run_timed "$prefix" "${uninstall[@]}" > /dev/null
    batch_done "$prefix"
}
traced_flush="" traced_stamp="" traced_files=0
if command -v strace > /dev/null; then
    warm_prefix sea-stored
    strace -f -qq -T -e trace=fsync,utimensat -o "$out/trace" \
        "$root/tools/wine-sandbox" run "$prefix" 'C:\dl\setup.exe' /a > /dev/null 2>&1 || true
    "$root/tools/wine-sandbox" remove "$prefix"
    read -r traced_files traced_flush traced_stamp < <(awk '
        # A call another thread interrupts is split in two lines: the time
        # is on the one that ends it.
        / fsync\(/ { flushes++ }
        /fsync/ && $NF ~ /^<[0-9.]+>$/ { flush += substr($NF, 2) + 0 }
        /utimensat/ && $NF ~ /^<[0-9.]+>$/ { stamp += substr($NF, 2) + 0 }
        END { printf "%d %.3f %.3f\n", flushes, flush, stamp }' "$out/trace")
fi
# Round trips to Wine's server: every call that opens or closes a handle,
# sends a window message or asks for one is a request to the server process
# and a wait for its answer. Counted in one more warm installation of the
# stored payload and of NSIS zlib, each with a server of its own that traces
# the requests, per file of the corpus and by kind, for the installer's own
# thread (the one that creates the first file in C:\Bench).
declare -A requests
server_requests() {  # name
    local name=$1
    warm_prefix "$name"
    "$root/tools/wine-sandbox" kill "$prefix"
    # The run starts the server, which writes its trace where the run does.
    SEA_WINEDEBUG=+server "$root/tools/wine-sandbox" run "$prefix" 'C:\dl\setup.exe' "${install_args[@]}" \
        > /dev/null 2> "$out/requests-$name" || true
    "$root/tools/wine-sandbox" remove "$prefix"
    requests[$name]=$(awk -v files="$files" '
        # Requests are "tid: name( ... )"; the answers "tid: name() = ...".
        !thread && /create_file\(.*Bench\\\\/ { thread = substr($0, 1, 4) }
        { lines[NR] = $0 }
        END {
            for (i = 1; i <= NR; i++) {
                if (substr(lines[i], 1, 4) != thread || lines[i] ~ /\(\) = / || lines[i] !~ /^....: [a-z_]+\(/) continue
                split(substr(lines[i], 7), words, "(")
                count[words[1]]++
                total++
            }
            printf "%.1f per file:", total / files
            # The kinds of at least one request in two files, most first.
            for (;;) {
                best = ""
                for (kind in count) if (best == "" || count[kind] > count[best]) best = kind
                if (best == "" || count[best] / files < 0.5) break
                printf " %s %.1f", best, count[best] / files
                delete count[best]
            }
        }' "$out/requests-$name")
}
if [ "$peer_runs" = yes ]; then
    server_requests sea-stored
    server_requests nsis-zlib
fi
size[sea-empty]=$(stat -c %s "$out/sea-empty.exe")
stub_bytes=$(stat -c %s "$stub")

ratio() {  # ours peer
    if [ -z "${2:-}" ] || [ -z "${1:-}" ]; then echo "-"; else awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2fx", a/b}'; fi
}
printf '\nCorpus: %s (%d files, %.1f MB); %d runs each, taken in turns, medians; ratios against NSIS zlib of this run.\n' \
    "$corpus" "$files" "$(awk -v b="$bytes" 'BEGIN{print b/1e6}')" "$runs"
printf 'Wine: %s prefix. Seconds and peak memory are over a bare Wine program run the same way\n' "$arch"
printf '(%s s cold, %s s warm, %d kB, %s s of processor): what the installer itself costs.\n' "$baseline_cold" \
    "$baseline_warm" "$baseline_kb" "$baseline_cpu"
printf 'cpu warm: processor seconds (user and system) of the warm installation, which the disk does not sway.\n'
if [ "$peer_runs" = no ]; then
    printf 'NSIS installers are 32-bit programs and this machine runs no 32-bit code: their runs are not measured,\n'
    printf 'so the run columns show our own figures only (x86-64 build of the stub).\n'
fi
printf '\n%-16s %10s %8s %10s %8s %9s %9s %9s %9s %9s %10s\n' installer size ratio "build s" ratio \
    "inst cold" "inst warm" "cpu warm" "rm cold" "rm warm" "memory kB"
for name in sea-fast sea-best nsis-zlib nsis-lzma nsis-solid-lzma sea-stored sea-empty nsis-empty; do
    printf '%-16s %10d %8s %10s %8s %9s %9s %9s %9s %9s %10s\n' "$name" "${size[$name]}" \
        "$(ratio "${size[$name]}" "${size[nsis-zlib]}")" "${build_seconds[$name]:--}" \
        "$(ratio "${build_seconds[$name]:-}" "${build_seconds[nsis-zlib]}")" \
        "${install_cold[$name]:--}" "${install_warm[$name]:--}" "${cpu_warm[$name]:--}" "${remove_cold[$name]:--}" \
        "${remove_warm[$name]:--}" "${memory[$name]:--}"
done
# Where an installation's time goes, from the rows above (warm runs).
part() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3f", a-b}'; }
printf '\nWhere the time goes (warm, seconds; sea-stored carries the same payload uncompressed, sea-empty one\n'
printf 'small file): what every installation costs (windows, registry, shortcuts, log, the uninstaller) %s%s;\n' \
    "${install_warm[sea-empty]}" "${install_warm[nsis-empty]:+ (NSIS ${install_warm[nsis-empty]})}"
printf 'reading and writing the files with their dates %s; decoding %s (sea-best) and %s (sea-fast).\n' \
    "$(part "${install_warm[sea-stored]}" "${install_warm[sea-empty]}")" \
    "$(part "${install_warm[sea-best]}" "${install_warm[sea-stored]}")" \
    "$(part "${install_warm[sea-fast]}" "${install_warm[sea-stored]}")"
if [ -n "$traced_flush" ]; then
    printf 'Of the files'"'"' part, traced (one warm run of sea-stored under strace): flushing each file before its\n'
    printf 'date is stamped %s s in %d flushes, stamping the dates %s s.\n' "$traced_flush" "$traced_files" "$traced_stamp"
fi
printf 'Uninstallation: every one %s, removing the files %s.\n' "${remove_warm[sea-empty]}" \
    "$(part "${remove_warm[sea-best]}" "${remove_warm[sea-empty]}")"
if [ -n "${requests[sea-stored]:-}" ]; then
    printf '\nRequests to the Wine server (each a round trip to another process), traced in one more warm installation:\n'
    printf '  sea-stored %s\n  nsis-zlib  %s\n' "${requests[sea-stored]}" "${requests[nsis-zlib]}"
    printf 'Per file, the installation looks for the file'"'"'s folder by making it the current directory and back\n'
    printf '(create_file twice), writes the file, reopens it to flush it and stamp its date, and shows its name and\n'
    printf 'the bar, pumping window messages (get_message, send_message, set_window_text): the steps that the\n'
    printf 'installer'"'"'s design fixes for every file. NSIS opens each file once and updates no window when silent.\n'
fi
printf '\nMemory that grows with the payload: peak over that of the installer of one small file\n'
printf '(%s kB over the bare program: its DLLs, windows and code), against 1.1 x (compressed + decoded payload).\n' \
    "${memory[sea-empty]}"
for name in sea-fast sea-best; do
    compressed=$(( (size[$name] - stub_bytes) / 1024 ))
    decoded=$(( bytes / 1024 ))
    grown=$(( memory[$name] - memory[sea-empty] ))
    limit=$(( (compressed + decoded) * 11 / 10 ))
    printf '%-10s %8d kB; compressed %d kB + decoded %d kB: %.2fx of them; target at most 1.10x: %s\n' "$name" \
        "$grown" "$compressed" "$decoded" "$(awk -v a="$grown" -v b="$((compressed + decoded))" 'BEGIN{print a/b}')" \
        "$([ "$grown" -le "$limit" ] && echo met || echo "NOT met")"
done
if [ "$peer_runs" = yes ]; then
    printf '\nRuns against NSIS zlib (target at most 0.90x):\n'
    for name in sea-best sea-fast; do
        printf '%-10s install cold %s, warm %s (processor %s); uninstall cold %s, warm %s\n' "$name" \
            "$(ratio "${install_cold[$name]}" "${install_cold[nsis-zlib]}")" \
            "$(ratio "${install_warm[$name]}" "${install_warm[nsis-zlib]}")" \
            "$(ratio "${cpu_warm[$name]}" "${cpu_warm[nsis-zlib]}")" \
            "$(ratio "${remove_cold[$name]}" "${remove_cold[nsis-zlib]}")" \
            "$(ratio "${remove_warm[$name]}" "${remove_warm[nsis-zlib]}")"
    done
fi
