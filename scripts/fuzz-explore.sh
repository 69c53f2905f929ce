#!/usr/bin/env bash
# Exploratory fuzzing, outside the test command: runs each target (or the ones named) for
# SECONDS of wall-clock time, one after the other, from its committed corpus and kept inputs.
# The grown corpus stays in BUILD_DIR/explore/<name>/ and is reused by the next run; a finding
# stays in BUILD_DIR/findings/<name>/. Ends with one summary line per target.
#
# Usage: scripts/fuzz-explore.sh SECONDS [TARGET...]   (e.g. 1800 fuzz_solve)
# Environment: FUZZ_BUILD (default build/fuzz), FUZZ_TIMEOUT seconds per input (default 60);
# KESTROM_FUZZ_REQUEST_LIMIT (default 30) bounds one request of fuzz_channel_request. Both are
# far above the slowest known input (11 s) because at nice 19 on a busy machine a target gets
# a small share of a core: a tighter limit reports the machine's load, not the input.
# On a shared machine run it as: nice -n 19 scripts/fuzz-explore.sh 480
set -euo pipefail
. "$(dirname "$0")/fuzz-common.sh"
if [ $# -lt 1 ]; then
    echo "usage: scripts/fuzz-explore.sh SECONDS [TARGET...]" >&2
    exit 2
fi
seconds=$1
shift
[ $# -gt 0 ] && fuzz_targets=("$@")
build=${FUZZ_BUILD:-$fuzz_root/build/fuzz}
fuzz_build "$build"

summary=()
status=0
for target in "${fuzz_targets[@]}"; do
    name=${target#fuzz_}
    work=$build/explore/$name
    findings=$build/findings/$name
    mkdir -p "$work/corpus" "$findings"
    fuzz_seed_corpus "$name" "$work/corpus"
    mapfile -t kept < <(fuzz_regressions "$name")
    [ ${#kept[@]} -gt 0 ] && cp "${kept[@]}" "$work/corpus/"
    echo "== $target: $seconds s from $(find "$work/corpus" -type f | wc -l) inputs"
    started=$(date +%s)
    # Logs of the plug-in go to the working directory: keep them out of the tree.
    if (cd "$work" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            KESTROM_FUZZ_REQUEST_LIMIT=${KESTROM_FUZZ_REQUEST_LIMIT:-30} \
            "$build/fuzz/$target" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-60}" \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
            corpus >"$work/log" 2>&1); then
        outcome="no finding"
    else
        status=1
        outcome="finding in $findings: $(grep -m1 -E 'property violated|ERROR:|SUMMARY:' "$work/log" || echo 'see the log')"
    fi
    elapsed=$(($(date +%s) - started))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
    last=$(grep -E '^#[0-9]+' "$work/log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' || true)
    summary+=("$target: ${elapsed} s, ${runs:-?} inputs, ${last:-no coverage line}; $outcome (log $work/log)")
done
printf '%s\n' "${summary[@]}"
exit $status
