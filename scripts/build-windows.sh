#!/usr/bin/env bash
# Cross builds the Windows programs with Debian's MinGW-w64: the plug-ins Kestrom.dll and
# KestromOptimal.dll, the stand-in host engine DLL, kestrom-sim.exe and the test programs, all
# in BUILD_DIR/bin.
# ctest in BUILD_DIR runs the tests under Wine (see scripts/test.sh for a headless setup).
#
# Usage: scripts/build-windows.sh [--plugin-only] [--package] [BUILD_DIR [cmake args...]]
#   --plugin-only  build Kestrom.dll, KestromOptimal.dll and the host DLL they need, not the
#                  test programs
#   --package      then write BUILD_DIR/kestrom-windows.zip: the plug-ins, the stand-in host DLL,
#                  kestrom-sim.exe and a text saying which files go together
# (default BUILD_DIR: build/windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
plugin_only=0 package=0
while [ $# -gt 0 ]; do
    case $1 in
        --plugin-only) plugin_only=1 ;;
        --package) package=1 ;;
        -*) echo "build-windows.sh: unknown option $1" >&2 && exit 2 ;;
        *) break ;;
    esac
    shift
done
build=${1:-$root/build/windows}
shift $(($# > 0 ? 1 : 0))
"$root/scripts/install-deps.sh" windows
# Google Benchmark and libFuzzer have no MinGW build in Debian: no benchmarks, no fuzzers.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKESTROM_BUILD_BENCH=OFF -DKESTROM_BUILD_FUZZ=OFF "$@" >/dev/null
targets=()
if [ $plugin_only = 1 ]; then
    targets=(--target Kestrom KestromOptimal)
    [ $package = 1 ] && targets+=(kestrom-sim)
fi
cmake --build "$build" -j "$(nproc)" "${targets[@]}"

if [ $package = 1 ]; then
    build=$(cd "$build" && pwd)
    bin=$build/bin
    cp "$root/scripts/windows-package.txt" "$bin/README.txt"
    rm -f "$build/kestrom-windows.zip"
    (cd "$bin" && cmake -E tar cf "$build/kestrom-windows.zip" --format=zip \
        Kestrom.dll KestromOptimal.dll libkestrom_host.dll kestrom-sim.exe README.txt)
    echo "$build/kestrom-windows.zip"
fi
