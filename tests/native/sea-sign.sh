#!/bin/sh
# Signing installers with osslsigncode, natively: a self-signed certificate
# made here with openssl; an installer signed by sea build, by sea sign and
# by the signing tool directly verifies, and sea verify and info name the
# signer; a byte changed after signing is named as a broken signature and
# with the archive's own code; the disks of a signed multi-disk build are the
# unsigned build's; an installer built by the earlier sea still verifies.
#   sea-sign.sh SEA STUB WORK OLD_INSTALLER
set -u
sea=$1 stub=$2 work=$3 old=$4
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Runs sea with the arguments after the expected exit status, a text its
# standard output must hold and one its standard error must hold (empty:
# not checked).
expect_sea() {
    expected_status=$1 expected_output=$2 expected_error=$3
    shift 3
    "$sea" "$@" >"$work/stdout" 2>"$work/stderr"
    status=$?
    [ "$status" -eq "$expected_status" ] ||
        fail "sea $*: exit status $status, not $expected_status: $(cat "$work/stdout" "$work/stderr")"
    if [ -n "$expected_output" ] && ! grep -qF -- "$expected_output" "$work/stdout"; then
        fail "sea $*: no \"$expected_output\" in: $(cat "$work/stdout")"
    fi
    if [ -n "$expected_error" ] && ! grep -qF -- "$expected_error" "$work/stderr"; then
        fail "sea $*: no \"$expected_error\" in: $(cat "$work/stderr")"
    fi
}

rm -rf "$work" && mkdir -p "$work/files"
cd "$work" || exit 1
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 30 \
    -subj "/CN=SEA Test Signer/O=Own Vendor" >/dev/null 2>&1 || { echo "FAIL openssl cannot make a certificate"; exit 1; }
openssl rsa -in key.pem -outform DER -out key.der >/dev/null 2>&1
printf 'hello\r\n' > files/hello.txt
# Some 130 KB, stored plain, so that with disks of 75,000 bytes the payload
# spans three disk files for any stub from 20 KB to 95 KB: the first disk
# holds the stub and the rest of its 75,000 bytes.
awk 'BEGIN { for (i = 0; i < 4400; i++) printf "line %d, %d of the manual\n", i, i * 7919 % 10007 }' > files/manual.txt
cat > m.toml <<'TOML'
product_name = "Signed Product"
publisher = "Own Vendor"
flags = ["uninstall_support"]
compress = false

[[file]]
source = "files/hello.txt"

[[file]]
source = "files/manual.txt"
TOML
signing="--sign-cert cert.pem --sign-key key.pem"
signer="signed by /CN=SEA Test Signer/O=Own Vendor"
matches="the signed digest matches the file"

expect_sea 0 "" "" build m.toml -o plain/setup.exe --stub "$stub"
expect_sea 0 "not signed" "" verify plain/setup.exe
expect_sea 0 "" "" list plain/setup.exe
cp stdout plain.list
# shellcheck disable=SC2086
expect_sea 0 "" "" build m.toml -o signed/setup.exe --stub "$stub" $signing
expect_sea 0 "$signer; $matches" "" verify signed/setup.exe
expect_sea 0 "signature          $signer; $matches" "" info signed/setup.exe
expect_sea 0 "" "" list signed/setup.exe
cmp -s stdout plain.list || fail "the signed installer lists other records than the unsigned one"
unsigned_size=$(wc -c < plain/setup.exe)
[ $((unsigned_size % 8)) -eq 0 ] || fail "the unsigned installer is $unsigned_size bytes, not a multiple of 8"
# Signing rewrites the header's CheckSum and security entry, in the first
# kilobyte, and appends the table; it adds no byte in front of the table.
tail -c +1025 plain/setup.exe > plain.rest
head -c "$unsigned_size" signed/setup.exe | tail -c +1025 > signed.rest
cmp -s plain.rest signed.rest || fail "signing changed the installer in front of its certificate table"

# As a user signs with the tool itself, with a DER key: sea verify reads it.
cp plain/setup.exe tool.exe
osslsigncode sign -certs cert.pem -key key.der -n "SEA Demo" -in tool.exe -out tool-signed.exe >/dev/null 2>&1 ||
    fail "osslsigncode cannot sign the installer"
expect_sea 0 "$signer; $matches" "" verify tool-signed.exe

# sea sign on an installer built earlier; signing again replaces the signature.
cp plain/setup.exe later.exe
# shellcheck disable=SC2086
expect_sea 0 "" "" sign later.exe $signing
expect_sea 0 "$signer; $matches" "" verify later.exe
# shellcheck disable=SC2086
expect_sea 0 "" "" sign later.exe $signing
expect_sea 0 "$signer; $matches" "" verify later.exe
expect_sea 2 "" "sign needs --sign-cert FILE and --sign-key FILE" sign later.exe
expect_sea 1 "" "signing needs both --sign-cert and --sign-key" sign later.exe --sign-cert cert.pem
expect_sea 1 "" "signing later.exe failed" sign later.exe --sign-cert cert.pem --sign-key m.toml
expect_sea 0 "$signer; $matches" "" verify later.exe
expect_sea 1 "" "no installation archive present" sign "$stub" $signing

# A byte of the last file's content changed after signing: a broken signature,
# and the record checksum's code 100, as the installer would report it.
cp signed/setup.exe changed.exe
printf 'X' | dd of=changed.exe bs=1 seek=$((unsigned_size - 100)) conv=notrunc 2>/dev/null
expect_sea 1 "BROKEN SIGNATURE" "error code 100" verify changed.exe
expect_sea 0 "BROKEN SIGNATURE" "" info changed.exe
# A byte of the image: the stub checksum's code 40.
cp signed/setup.exe image.exe
printf 'X' | dd of=image.exe bs=1 seek=2000 conv=notrunc 2>/dev/null
expect_sea 1 "BROKEN SIGNATURE" "error code 40" verify image.exe

# Multi-disk: only the executable is signed; the disks stay the unsigned ones.
expect_sea 0 "" "" build m.toml -o disks-plain/setup.exe --stub "$stub" --disk-size 75000
# shellcheck disable=SC2086
expect_sea 0 "3 parts" "" build m.toml -o disks/setup.exe --stub "$stub" --disk-size 75000 $signing
for disk in Disk2.SEA Disk3.SEA; do
    cmp -s disks-plain/$disk disks/$disk || fail "$disk of the signed build differs from the unsigned one's"
done
expect_sea 0 "$signer; $matches" "" verify disks/setup.exe
expect_sea 0 "sound, 2 files" "" verify disks/setup.exe

# Built by the earlier sea, whose stub checksum summed the CheckSum field.
expect_sea 0 "sound, 1 file" "" verify "$old"

[ "$failures" -eq 0 ] || { echo "$failures failed"; exit 1; }
echo "all passed"
