#!/usr/bin/env bash
# Reads the export table of a built plug-in (ELF shared object or PE DLL) and checks that
# `main` is its one and only exported symbol.
set -euo pipefail
lib="$1"
case "$lib" in
*.dll)
    objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
    exports=$("$objdump" -p "$lib" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' | awk '{print $NF}') ;;
*)
    exports=$(nm -D --defined-only --extern-only "$lib" | awk '{print $3}' | grep -v '^$') ;;
esac
if [ "$exports" != "main" ]; then
    echo "FAIL: $lib exports:"; echo "$exports"; exit 1
fi
echo "OK: $lib exports main alone"
