#!/usr/bin/env bash
# Takes the figures of docs/performance.md: the median time of one solveAllocation on each
# problem of bench/problems (kestrom-sim bench, best median of ROUNDS runs), then the
# barring search and the whole request (Google Benchmark, best wall time of 10
# repetitions, with the CPU time of that repetition).
# Usage: bench/figures.sh BUILD_DIR [REPEAT] [ROUNDS]
set -euo pipefail
build=$1
repeat=${2:-20000}
rounds=${3:-5}
here=$(cd "$(dirname "$0")" && pwd)

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for problem in "$here"/problems/*.json; do
    best=
    for _ in $(seq "$rounds"); do
        median=$("$build/sim/kestrom-sim" bench "$problem" --repeat "$repeat" 2>/dev/null | tail -n 1)
        if [ -z "$best" ] || [ "$median" -lt "$best" ]; then
            best=$median
        fi
    done
    printf '%-32s %8s ns\n' "$(basename "$problem" .json)" "$best"
done
for program in barring request; do
    "$build/bench/kestrom-bench-$program" --benchmark_repetitions=10 2>/dev/null |
        awk '/^[A-Za-z]/ && $2 ~ /^[0-9.]+$/ && $1 !~ /_(mean|median|stddev|cv)$/ {
                 if (!($1 in best) || $2 < best[$1]) { best[$1] = $2; unit[$1] = $3; cpu[$1] = $4 }
             }
             END { for (n in best) printf "%-44s %8s %s wall (best of 10), %s CPU\n", n, best[n], unit[n], cpu[n] }' |
        sort
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
