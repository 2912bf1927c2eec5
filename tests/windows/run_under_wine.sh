#!/usr/bin/env bash
# The Windows home end to end, both word sizes, under Wine on a virtual X display (Xvfb):
#  1. the ABI checks of tests/host, built for Windows, against each TROBEdit.dll, drops
#     (text, two files, a shell shortcut) on a real frame window's registered IDropTarget,
#     and the home's enlarged windows through its own calls;
#  2. an editor session of the Windows test host: demo audio, the editor in a top-level
#     window, idle from a timer, the window captured, a knob dragged with SendInput;
#  3. the capture compared with the headless rendering of the same audio, and the host calls
#     of the drag checked for begin-edit, automation, end-edit;
#  4. the same session on a dense screen, once by TROB_SCALE=2 and once by Wine's dots per
#     inch at 192: the captures equal the plain ones enlarged, the drag gives the same calls.
# Usage: run_under_wine.sh CHECKER SOURCE_DIR WORK_DIR. Exits 77 (skipped) without Wine/Xvfb.
set -uo pipefail

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Everything that needs Windows runs in one Xvfb and one Wine server (this script calls itself
# inside xvfb-run); the results go to files.
if [ "${1:-}" = --session ]; then
    work=$2 source=$3 rate=$4 seconds=$5
    shift 5
    dpi_key='HKCU\Control Panel\Desktop'
    # The plain runs see neither the user's factor nor a density left from an interrupted run.
    unset TROB_SCALE
    wine reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1
    wineserver -w
    editor() { # OUT_DIR
        mkdir -p "$1"
        wine ./trob_windows.exe editor --audio "$(windows_path "$work/demo.f32")" \
            --rate "$rate" --seconds "$seconds" --out "$(windows_path "$1")" >"$1/editor.txt" 2>&1
        echo $? >"$1/editor.status"
    }
    for preset in "$@"; do
        out="$work/$preset"
        mkdir -p "$out"
        cd "$source/build/$preset" || exit 1
        wine ./plugin_abi_tests.exe >"$out/abi.txt" 2>&1
        echo $? >"$out/abi.status"
        wine ./drop_tests.exe >"$out/drop.txt" 2>&1
        echo $? >"$out/drop.status"
        wine ./enlarged_window_tests.exe >"$out/enlarged.txt" 2>&1
        echo $? >"$out/enlarged.status"
        editor "$out"
        TROB_SCALE=2 editor "$out/scale2"
    done
    # Wine reads the screen's density when its processes start.
    wineserver -w
    wine reg add "$dpi_key" /v LogPixels /t REG_DWORD /d 192 /f >/dev/null 2>&1
    wineserver -w
    for preset in "$@"; do
        cd "$source/build/$preset" || exit 1
        editor "$work/$preset/dpi192"
    done
    wine reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1
    wineserver -w
    exit 0
fi

checker=$1 source=$2 work=$3

for tool in wine xvfb-run; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (scripts/install-deps.sh wine installs it);" \
             "the Windows home was not run."
        exit 77
    fi
done

# shellcheck source=tests/windows/wine_word_sizes.sh
source "$(dirname "$0")/wine_word_sizes.sh"
[ ${#wine_presets[@]} -gt 0 ] || exit 77
presets=("${wine_presets[@]}")
for preset in "${presets[@]}"; do
    # Configured every time: a build tree from before a change of targets knows none of them.
    (cd "$source" && cmake --preset "$preset" >/dev/null) || exit 1
    (cd "$source" && cmake --build --preset "$preset" --target TROBEdit trob_windows \
        plugin_abi_tests drop_tests enlarged_window_tests >/dev/null) || { echo "FAIL: the $preset build"; exit 1; }
done

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/../wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rate=44100 seconds=5
"$checker" audio "$work/demo.f32" "$rate" "$seconds" || exit 1

xvfb-run -a -s "-screen 0 1024x768x24" "$0" --session "$work" "$source" "$rate" "$seconds" \
    "${presets[@]}" \
    >"$work/xvfb.txt" 2>&1

failures=0
for preset in "${presets[@]}"; do
    out="$work/$preset"
    echo "--- $preset"
    for part in abi:"ABI checks" drop:"drops on a frame window" \
        enlarged:"windows shown enlarged (TROB_SCALE=3)"; do
        name=${part%%:*} title=${part#*:}
        if [ "$(cat "$out/$name.status" 2>/dev/null)" = 0 ]; then
            echo "ok: $title ($(grep -o '[0-9]* tests from [0-9]* test suites* ran' \
                "$out/$name.txt"))"
        else
            echo "FAIL: $title"; cat "$out/$name.txt" 2>/dev/null; failures=$((failures + 1))
        fi
    done
    sed 's/^/  /' "$out/editor.txt" 2>/dev/null
    if [ "$(cat "$out/editor.status" 2>/dev/null)" != 0 ]; then
        echo "FAIL: the editor session"; failures=$((failures + 1)); continue
    fi
    "$checker" window "$out/window.bmp" "$work/demo.f32" "$rate" "$seconds" "$out" ||
        failures=$((failures + 1))
    "$checker" drag "$out/calls.txt" 11 || failures=$((failures + 1))
    for run in scale2 dpi192; do
        echo "  $run:"
        sed 's/^/    /' "$out/$run/editor.txt" 2>/dev/null
        if [ "$(cat "$out/$run/editor.status" 2>/dev/null)" != 0 ]; then
            echo "FAIL: the editor session ($run)"; failures=$((failures + 1)); continue
        fi
        for picture in window dragged; do
            "$checker" enlarged "$out/$picture.bmp" "$out/$run/$picture.bmp" 2 \
                "$out/$run/$picture" || failures=$((failures + 1))
        done
        "$checker" same-drag "$out/calls.txt" "$out/$run/calls.txt" 11 ||
            failures=$((failures + 1))
    done
done
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
