#!/usr/bin/env bash
# The meter values of both Windows DLLs under Wine against the Linux build's, byte for byte:
# `trob_windows analyse` (win32, win64) against `trob analyse --json` on the demo at 44.1 and
# 48 kHz and on a WAV file made here; and the engine's maths grid against the Linux one.
# Usage: compare_meters_under_wine.sh TROB GRID SOURCE_DIR WORK_DIR
# Exits 77 (skipped) when Wine or the mingw-w64 compilers are not installed.
set -euo pipefail
trob=$1 grid=$2 source=$3 work=$4

for tool in wine i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (scripts/install-deps.sh windows wine);" \
             "the Windows builds' meters were not compared."
        exit 77
    fi
done

# shellcheck source=tests/windows/wine_word_sizes.sh
source "$(dirname "$0")/wine_word_sizes.sh"
[ ${#wine_presets[@]} -gt 0 ] || exit 77

# The Windows builds normally exist already (CI builds them first); bring them up to date.
for preset in "${wine_presets[@]}"; do
    if [ ! -f "$source/build/$preset/CMakeCache.txt" ]; then
        (cd "$source" && cmake --preset "$preset" >/dev/null)
    fi
    (cd "$source" && cmake --build --preset "$preset" --target trob_windows maths_grid_portable >/dev/null)
done

rm -rf "$work"
mkdir -p "$work"
cd "$work"
export WINEPREFIX="$work/../wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

# Three seconds of 24-bit stereo at 44.1 kHz: a tone that moves from left to right over
# integer noise, made from integers alone so the file is the same wherever it is made.
python3 - <<'PY'
import math, struct, wave
rate, frames = 44100, 3 * 44100
state = 12345
data = bytearray()
for n in range(frames):
    state = (state * 1103515245 + 12345) % 2**31
    noise = (state >> 8) % 200001 - 100000
    tone = int(3000000 * math.sin(2 * math.pi * 700 * n / rate))
    left = tone * (frames - n) // frames + noise
    right = tone * n // frames - noise // 2
    for v in (left, right):
        data += struct.pack('<i', v)[:3]
with wave.open('meters.wav', 'wb') as w:
    w.setnchannels(2)
    w.setsampwidth(3)
    w.setframerate(rate)
    w.writeframes(bytes(data))
PY

failed=0
compare() { # name expected actual
    if cmp -s "$2" "$3"; then
        echo "same: $1"
    else
        echo "DIFFERENT: $1"
        diff "$2" "$3" | head -20 || true
        failed=1
    fi
}

# The meter values alone: trob's band levels in dB, and the balance in dB that it leaves out
# for bands without signal, are not the Windows host's to measure.
# The meters alone: the level probes' dB figures, the balance in dB and the delivery checks
# are trob's own and not the Windows host's.
meters_only() {
    sed -E -e 's/, "left_db": [^}]*\}/}/' -e 's/"balance_db": [^,]*, //' |
        python3 -c 'import re, sys
sys.stdout.write(re.sub(r",\n  \"delivery\": [^\n]*\n  \"failed_checks\": [^\n]*", "", sys.stdin.read()))'
}
"$trob" analyse --json | meters_only >linux-demo-44100.json
"$trob" analyse --rate 48000 --json | meters_only >linux-demo-48000.json
"$trob" analyse meters.wav --final --json | meters_only >linux-file.json
"$grid" write linux-grid.bin --quick

for preset in "${wine_presets[@]}"; do
    build="$source/build/$preset"
    wine "$build/trob_windows.exe" analyse | meters_only >"$preset-demo-44100.json"
    wine "$build/trob_windows.exe" analyse --rate 48000 | meters_only >"$preset-demo-48000.json"
    wine "$build/trob_windows.exe" analyse meters.wav | meters_only >"$preset-file.json"
    compare "$preset demo signal at 44.1 kHz" linux-demo-44100.json "$preset-demo-44100.json"
    compare "$preset demo signal at 48 kHz" linux-demo-48000.json "$preset-demo-48000.json"
    compare "$preset meters.wav" linux-file.json "$preset-file.json"
    if wine "$build/tests/engine/grid/maths_grid_portable.exe" compare linux-grid.bin --quick \
        >"$preset-grid.txt"; then
        echo "same: $preset maths grid ($(tail -1 "$preset-grid.txt"))"
    else
        echo "DIFFERENT: $preset maths grid"
        cat "$preset-grid.txt"
        failed=1
    fi
done
wineserver -w 2>/dev/null || true
exit $failed
