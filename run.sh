#!/usr/bin/env bash
# Builds the plug-in and shows where it is.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh linux
cmake --preset default >/dev/null
cmake --build --preset default
echo "Plug-in built: $(pwd)/build/default/TROBEdit.so"
