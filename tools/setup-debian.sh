#!/usr/bin/env bash
# Installs what the build, the tests, the demo and the benchmarks need on
# Debian 12, as root. Idempotent, and quick when everything is there: it only
# asks apt for the packages that are missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang python3
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    wine wine32:i386 wine64 xvfb xauth
    googletest libgtest-dev
    libtomlplusplus-dev liblz4-dev zlib1g-dev
    nsis fonts-dejavu-core
    imagemagick x11-utils fonts-liberation
    osslsigncode openssl strace
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "setup: missing packages (${missing[*]}); run this as root" >&2
    exit 1
fi
echo "setup: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
