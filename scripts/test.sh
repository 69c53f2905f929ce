#!/usr/bin/env bash
# Every check: the release build with all tests and a benchmark smoke run, all tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and the fuzz stage, which replays the committed fuzz inputs. Every stage
# gives the same verdict on every run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/install-deps.sh"

# Runs ctest and adds the number of tests it ran to the total of the closing line.
passed=0
run_ctest() {
    local log
    log=$(mktemp)
    ctest "$@" 2>&1 | tee "$log"
    passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)))
    rm -f "$log"
}

echo "== release build and tests"
"$root/scripts/build.sh" "$root/build/release"
run_ctest --test-dir "$root/build/release" --output-on-failure -j "$jobs"

echo "== benchmark smoke run"
"$root/scripts/bench-smoke.sh" "$root/build/release"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$root/build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTROM_SANITIZE=address,undefined -DKESTROM_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_ctest --test-dir "$root/build/asan" --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (threaded tests)"
"$root/scripts/build.sh" "$root/build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTROM_SANITIZE=thread -DKESTROM_BUILD_BENCH=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    run_ctest --test-dir "$root/build/tsan" --output-on-failure -j "$jobs" -L threaded

if [ -x "$root/scripts/fuzz-smoke.sh" ]; then
    echo "== fuzz stage (committed inputs replayed)"
    "$root/scripts/fuzz-smoke.sh"
fi

echo "checks: $passed passed, 0 failed"
