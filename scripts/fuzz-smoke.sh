#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer and
# coverage in every library under test) and runs each for FUZZ_SECONDS (default 60) on a
# copy of its seed corpus. Exits non-zero on the first target that finds anything: a crash,
# a sanitizer report, a broken property, a request over its time limit, or an input that
# takes longer than FUZZ_TIMEOUT seconds (default 10). The finding is left in
# build/fuzz/findings/<target>/.
#
# Usage: scripts/fuzz-smoke.sh [BUILD_DIR]   (default build/fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-60}
timeout=${FUZZ_TIMEOUT:-10}
targets=(fuzz_problem_reader fuzz_scenario_reader fuzz_demands_csv fuzz_host_file fuzz_solve
         fuzz_channel_request)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTROM_BUILD_FUZZ=ON -DKESTROM_SANITIZE=fuzzer-no-link,address,undefined \
    -DKESTROM_BUILD_TESTS=OFF -DKESTROM_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "${FUZZ_JOBS:-2}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    corpus=$work/$name
    mkdir -p "$corpus"
    cp "$root/fuzz/corpus/$name/." "$corpus/" -r
    case $name in
        problem_reader) cp "$root"/examples/problems/*.json "$corpus/" 2>/dev/null || true ;;
        scenario_reader) cp "$root"/examples/*.json "$corpus/" 2>/dev/null || true ;;
    esac
    findings=$build/findings/$name
    mkdir -p "$findings"
    echo "== $target: $seconds s"
    # Logs of the plug-in go to the working directory: keep them out of the tree.
    if (cd "$work" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            "$build/fuzz/$target" -max_total_time="$seconds" -timeout="$timeout" \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
            "$corpus" 2>"$work/$name.log"); then
        grep -E '^(stat::number_of_executed_units|Done)' "$work/$name.log" || true
    else
        status=1
        tail -n 40 "$work/$name.log"
        echo "$target: finding kept in $findings" >&2
    fi
done
exit $status
