#!/usr/bin/env bash
# Every check: the release build with all tests, the Python module's tests and a benchmark
# smoke run, the Windows build with its tests under Wine, every source compiled for the
# Microsoft C++ ABI with the virtual slots and records the host relies on, all tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer,
# and the fuzz stage, which replays the committed fuzz inputs. Every stage gives the same
# verdict on every run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/install-deps.sh"

# Adds a stage's count of passed checks to the total of the closing line; a stage that reports
# none has not run its tests (a tree configured without them), which fails the command.
passed=0
count_passed() {
    if [ -z "$1" ] || [ "$1" -eq 0 ]; then
        echo "test.sh: $2 reported no passed checks" >&2
        exit 1
    fi
    passed=$((passed + $1))
}

# Runs ctest and counts the tests it ran.
run_ctest() {
    local log
    log=$(mktemp)
    ctest --no-tests=error "$@" 2>&1 | tee "$log"
    count_passed "$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)" \
        "ctest $*"
    rm -f "$log"
}

echo "== release build and tests"
# Tests and benchmarks on: scripts/run.sh builds the same tree without them.
"$root/scripts/build.sh" "$root/build/release" -DKESTROM_BUILD_TESTS=ON -DKESTROM_BUILD_BENCH=ON
run_ctest --test-dir "$root/build/release" --output-on-failure -j "$jobs"

echo "== Python module tests"
# The module of the release build, against the kestrom-sim of the same build.
pytest_log=$(mktemp)
(cd "$root/build/release" && PYTHONPATH="$root/build/release/python" \
    KESTROM_SIM="$root/build/release/sim/kestrom-sim" \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider "$root/python/tests") 2>&1 | tee "$pytest_log"
count_passed "$(sed -n 's/^\([0-9]*\) passed.*/\1/p' "$pytest_log" | tail -n 1)" pytest
rm -f "$pytest_log"

echo "== benchmark smoke run"
"$root/scripts/bench-smoke.sh" "$root/build/release"

echo "== Windows: MinGW-w64 cross build, every test under Wine"
windows_started=$SECONDS
windows=$root/build/windows
"$root/scripts/build-windows.sh" "$windows" \
    -DKESTROM_REFERENCE_SIM="$root/build/release/sim/kestrom-sim"
# Headless and self-contained: a prefix inside the build folder, no display, no desktop
# menus, no Mono or Gecko installer; one wineserver for the whole stage, always stopped.
export WINEPREFIX=$windows/wine-prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k 2>/dev/null || true' EXIT
# The prefix is set up to the end first (wineserver -w waits until Wine is done with it), so
# that no test starts while Wine is still writing it.
/usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1
wineserver -w
wineserver -p </dev/null >/dev/null 2>&1
# The prefix's services start here, detached from the output pipes ctest waits on.
/usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
# Fewer stress requests than on Linux: a Windows thread start costs more under Wine.
KESTROM_STRESS_REQUESTS=400 run_ctest --test-dir "$windows" --output-on-failure -j 2
wineserver -k
trap - EXIT
unset WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
echo "-- Windows stage: $((SECONDS - windows_started)) s"

echo "== Microsoft C++ ABI: every source compiled for the host's compiler, its slots and records"
msvc_started=$SECONDS
msvc_log=$(mktemp)
"$root/scripts/check-msvc-layout.sh" "$root/build/msvc" 2>&1 | tee "$msvc_log"
count_passed "$(sed -n 's/^\([0-9]*\) passed.*/\1/p' "$msvc_log" | tail -n 1)" "MSVC layout"
rm -f "$msvc_log"
echo "-- MSVC layout stage: $((SECONDS - msvc_started)) s"

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
