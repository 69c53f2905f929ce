#!/usr/bin/env bash
# Runs every benchmark program briefly, as a check that they work, not as a measurement.
set -euo pipefail
dir=$1
shopt -s nullglob
for b in "$dir"/bench/kestrom-bench-*; do
    [ -x "$b" ] || continue
    echo "-- $(basename "$b")"
    "$b" --benchmark_min_time=0.01 >/dev/null
done
