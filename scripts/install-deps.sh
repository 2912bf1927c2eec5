#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing when all are there.
# Usage: scripts/install-deps.sh [linux|windows|wine|fuzz]...   (default: linux)
set -euo pipefail

want=("$@")
[ ${#want[@]} -gt 0 ] || want=(linux)

packages=()
required=() # the linux group's: every build and the default tests need them
for group in "${want[@]}"; do
    case "$group" in
    linux)
        linux=(build-essential cmake g++ pkg-config googletest libgtest-dev libgmock-dev
               libbenchmark-dev libfreetype-dev libfontconfig-dev fonts-liberation
               libpng-dev libsndfile1-dev libebur128-dev libx11-dev libxext-dev libxtst-dev libasound2-dev xvfb
               binutils)
        packages+=("${linux[@]}")
        required+=("${linux[@]}") ;;
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

# A package index that fails to download (a mirror in the middle of a sync, say) is tried
# again a few times; then the install goes on with the lists there are and decides itself.
for attempt in 1 2 3; do
    $SUDO apt-get update -qq && break
    if [ "$attempt" -lt 3 ]; then
        echo "install-deps: apt-get update failed, trying again" >&2
        sleep $((attempt * 5))
    else
        echo "install-deps: some package lists could not be updated; going on without them" >&2
    fi
done

install() { $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }
install "${missing[@]}" && exit 0

# One at a time, to find the packages that cannot be had. Only the linux group's are needed
# by every build and test; without another group's package the tests that need it skip
# themselves and say so.
echo "install-deps: installing them together failed; trying one at a time" >&2
failed=()
for p in "${missing[@]}"; do
    install "$p" || failed+=("$p")
done
[ ${#failed[@]} -eq 0 ] && exit 0
status=0
for p in "${failed[@]}"; do
    if printf '%s\n' "${required[@]}" | grep -qx "$p"; then
        echo "install-deps: $p could not be installed, and the build needs it" >&2
        status=1
    else
        echo "install-deps: $p could not be installed; the tests that need it will skip" >&2
    fi
done
exit $status
