#!/usr/bin/env bash
# Runs every benchmark program briefly, as a check that they work, not as a measurement.
set -euo pipefail
dir=$1
shopt -s nullglob
ran=0
for b in "$dir"/bench/kestrom-bench-*; do
    [ -x "$b" ] || continue
    echo "-- $(basename "$b")"
    "$b" --benchmark_min_time=0.01 >/dev/null
    ran=$((ran + 1))
done
# A tree configured without benchmarks has none to run: that is a failure, not a pass.
if [ "$ran" -eq 0 ]; then
    echo "bench-smoke.sh: no benchmark programs in $dir/bench" >&2
    exit 1
fi
