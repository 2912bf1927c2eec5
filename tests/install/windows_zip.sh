#!/usr/bin/env bash
# Makes the Windows zip from a Windows build (the other word size's build beside it) and
# checks that it holds both DLLs, each of its word size, and the texts.
# Usage: tests/install/windows_zip.sh BUILD_DIR   (build/win32 or build/win64)
set -euo pipefail
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$scratch/cpack.log")"
zips=("$scratch"/TROBEdit-*-windows.zip)
zip=${zips[0]}
[ -f "$zip" ] || fail "cpack made no TROBEdit-*-windows.zip"
top=$(basename "$zip" .zip)
files=$(cd "$scratch" && cmake -E tar tf "$zip" | grep -v '/$' | sort)
expected="$top/32-bit/TROBEdit.dll
$top/64-bit/TROBEdit.dll
$top/INSTALL.txt
$top/LICENSE.txt"
[ "$files" = "$expected" ] || fail "the zip holds
$files
instead of
$expected"

mkdir "$scratch/x" && (cd "$scratch/x" && cmake -E tar xf "$zip")
x86_64-w64-mingw32-objdump -f "$scratch/x/$top/64-bit/TROBEdit.dll" | grep -q 'pei-x86-64' ||
    fail "64-bit/TROBEdit.dll is not a 64-bit DLL"
i686-w64-mingw32-objdump -f "$scratch/x/$top/32-bit/TROBEdit.dll" | grep -q 'pei-i386' ||
    fail "32-bit/TROBEdit.dll is not a 32-bit DLL"
grep -q 'VstPlugins' "$scratch/x/$top/INSTALL.txt" || fail "INSTALL.txt names no host folder"
echo "$(basename "$zip"): $(echo "$files" | tr '\n' ' ')"
