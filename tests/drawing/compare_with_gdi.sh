#!/usr/bin/env bash
# Renders the drawing corpus with the soft raster and with GDI under Wine, and compares them.
# Usage: compare_with_gdi.sh SOFT_RENDERER COMPARER SOURCE_DIR WORK_DIR
# Exits 77 (skipped) when Wine is not installed.
set -euo pipefail
renderer=$1 comparer=$2 source=$3 work=$4

if ! command -v wine >/dev/null 2>&1; then
    echo "SKIPPED: Wine is not installed (scripts/install-deps.sh wine installs it);" \
         "the soft raster was not compared with GDI."
    exit 77
fi

# The GDI side is the 32-bit build's.
# shellcheck source=tests/windows/wine_word_sizes.sh
source "$source/tests/windows/wine_word_sizes.sh"
if [[ " ${wine_presets[*]} " != *" win32 "* ]]; then
    echo "SKIPPED: the soft raster was not compared with GDI."
    exit 77
fi

gdi_program="$source/build/win32/tests/drawing/gdi/gdi_corpus.exe"
# The win32 build normally exists already (CI builds it first); bring it up to date.
if [ ! -f "$source/build/win32/CMakeCache.txt" ]; then
    (cd "$source" && cmake --preset win32 >/dev/null)
fi
(cd "$source" && cmake --build --preset win32 --target gdi_corpus >/dev/null)

rm -rf "$work"
mkdir -p "$work/soft" "$work/gdi" "$work/failures"
"$renderer" "$work/soft"

export WINEPREFIX="$work/../wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
(cd "$work/gdi" && wine "$gdi_program" . 2>/dev/null)
wineserver -w 2>/dev/null || true

"$comparer" "$work/soft" "$work/gdi" "$work/failures"
