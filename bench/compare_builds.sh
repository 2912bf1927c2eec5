#!/usr/bin/env bash
# Times the editor's 150 meter queries, one idle of the editor and the making of an effect in
# two builds, alternating between them so both see the same load, and prints the median of the
# runs and the ratio of the second build to the first.
#
#   bench/compare_builds.sh BASELINE_BUILD_DIR BUILD_DIR [RUNS]      # RUNS defaults to 3
#
# A baseline build of an earlier commit comes from a clean clone or worktree of it, configured
# and built (`engine_bench`, `editor_bench`, `instance_bench`) like this one.
set -euo pipefail
baseline=$1 build=$2 runs=${3:-3}

poll() { # CPU microseconds of the 150 meter queries of one idle
    # engine_bench prints through its own reporter, in colour whatever it is told
    "$1/bench/engine_bench" --benchmark_filter=editorPoll 2>/dev/null | sed 's/\x1b\[[0-9;]*m//g' |
        awk '/^editorPoll/ { printf "%.2f\n", $5 == "ns" ? $4 / 1000 : $4 }'
}
idle() { # CPU microseconds of one idle
    "$1/bench/editor_bench" --benchmark_filter=editorIdle --benchmark_format=csv 2>/dev/null |
        awk -F, '/^"editorIdle"/ { printf "%.2f\n", $4 }'
}
making() { # milliseconds to make and close one effect after the first
    "$1/bench/instance_bench" | awk '/^later instances/ { print $(NF-5) }'
}
memory() { # heap kB per live effect
    "$1/bench/instance_bench" | awk '/^memory per live instance/ { print $6 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for measure in poll idle making memory; do
    old=() new=()
    for ((i = 0; i < runs; ++i)); do
        old+=("$($measure "$baseline")")
        new+=("$($measure "$build")")
    done
    m_old=$(printf '%s\n' "${old[@]}" | median)
    m_new=$(printf '%s\n' "${new[@]}" | median)
    printf '%-7s baseline %10s   this build %10s   ratio %s\n' "$measure" "$m_old" "$m_new" \
        "$(awk -v a="$m_new" -v b="$m_old" 'BEGIN { printf "%.3f", a / b }')"
done
