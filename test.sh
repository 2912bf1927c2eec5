#!/usr/bin/env bash
# Builds and runs every test. Usage: bash test.sh [preset]   (default: default; also asan, tsan)
set -euo pipefail
cd "$(dirname "$0")"
preset="${1:-default}"
scripts/install-deps.sh linux
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
