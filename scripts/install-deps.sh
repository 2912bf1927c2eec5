#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when all are there.
# Usage: scripts/install-deps.sh [linux|windows|wine|fuzz]...   (default: linux)
set -euo pipefail

want=("$@")
[ ${#want[@]} -gt 0 ] || want=(linux)

packages=()
for group in "${want[@]}"; do
    case "$group" in
    linux)
        packages+=(build-essential cmake g++ pkg-config googletest libgtest-dev libgmock-dev
                   libbenchmark-dev libfreetype-dev libfontconfig-dev fonts-liberation
                   libpng-dev libsndfile1-dev libx11-dev libxext-dev libxtst-dev libasound2-dev xvfb
                   binutils) ;;
    windows)
        packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64) ;;
    wine)
        packages+=(wine wine32 wine64 xvfb xauth python3) ;;
    fuzz)
        # clang with its libFuzzer and sanitizer runtimes, for the `fuzz` preset.
        packages+=(clang libclang-rt-14-dev) ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$\|^wine32$'; then
    $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
