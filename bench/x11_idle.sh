#!/usr/bin/env bash
# Runs x11_editor_bench on a virtual X server of its own, once with MIT-SHM and once without
# (the pixels then travel in plain XPutImage requests).
#
#   bench/x11_idle.sh BUILD_DIR [benchmark options]
set -euo pipefail
build=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
bench="$build/bench/x11_editor_bench"
echo "== X server with MIT-SHM"
"$here/../tests/x11/with_xvfb.sh" "$bench" "$@"
echo "== X server without MIT-SHM"
XVFB_OPTIONS="-extension MIT-SHM" "$here/../tests/x11/with_xvfb.sh" "$bench" "$@"
