#!/usr/bin/env bash
# Builds the plug-in and the command-line host, then analyses the built-in demo signal.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh linux
cmake --preset default >/dev/null
cmake --build --preset default --target TROBEdit trob
echo "Plug-in built: $(pwd)/build/default/TROBEdit.so" >&2
build/default/tools/trob analyse
