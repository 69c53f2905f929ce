#!/usr/bin/env bash
# Cross builds the Windows programs with Debian's MinGW-w64: the plug-ins Kestrom.dll and
# KestromOptimal.dll, the stand-in host engine DLL, kestrom-sim.exe and the test programs, all
# in BUILD_DIR/bin.
# ctest in BUILD_DIR runs the tests under Wine (see scripts/test.sh for a headless setup).
#
# Usage: scripts/build-windows.sh [BUILD_DIR [cmake args...]]   (default build/windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/windows}
shift $(($# > 0 ? 1 : 0))
"$root/scripts/install-deps.sh" windows
# Google Benchmark and libFuzzer have no MinGW build in Debian: no benchmarks, no fuzzers.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKESTROM_BUILD_BENCH=OFF -DKESTROM_BUILD_FUZZ=OFF "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
