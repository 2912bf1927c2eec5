#!/usr/bin/env bash
# Runs a libFuzzer target from its committed corpus for a fixed number of inputs, with a fixed
# seed; what it finds goes to a temporary folder, never into the corpus.
# Usage: run_fuzzer.sh TARGET CORPUS RUNS [libFuzzer options...]
set -euo pipefail
target=$1 corpus=$2 runs=$3
shift 3
found=$(mktemp -d)
trap 'rm -rf "$found"' EXIT
# A failing input is written beside the build's other outputs, as crash-<hash>.
"$target" -seed=1 -runs="$runs" -max_len=8192 -artifact_prefix="$PWD/" "$@" "$found" "$corpus"
