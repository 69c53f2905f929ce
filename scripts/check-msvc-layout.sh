#!/usr/bin/env bash
# Compiles every source of the project for the Microsoft C++ ABI of the host engine's
# compiler (Debian's clang for x86_64-pc-windows-msvc, MinGW-w64's headers, warnings as
# errors, nothing linked) and checks the virtual slots and record offsets that the host relies
# on (tests/msvc). Prints pytest's summary line, "N passed".
#
# Usage: scripts/check-msvc-layout.sh [BUILD_DIR]   (default build/msvc; only configured)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/msvc}
"$root/scripts/install-deps.sh" windows
# The plug-ins and the libraries they are made of; the tools and their tests are not for the
# host's compiler.
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/clang-msvc-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKESTROM_BUILD_TESTS=OFF -DKESTROM_BUILD_BENCH=OFF \
    -DKESTROM_BUILD_SIM=OFF -DKESTROM_BUILD_FUZZ=OFF >/dev/null
PYTHONDONTWRITEBYTECODE=1 KESTROM_MSVC_TREE=$build /usr/bin/python3 -m pytest -q -p no:cacheprovider "$root/tests/msvc"
