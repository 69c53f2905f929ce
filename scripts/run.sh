#!/usr/bin/env bash
# The main job: build, then allocate the default vessel's thrust through the plug-in
# and leave a picture of the last allocation in out/allocation.svg.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build/release" -DKESTROM_BUILD_TESTS=OFF -DKESTROM_BUILD_BENCH=OFF
mkdir -p "$root/out"
"$root/build/release/sim/kestrom-sim" run --svg "$root/out/allocation.svg" "$@"
echo "Picture written to out/allocation.svg"
# Both channel types on the built-in vessel: how many of its demands each one's table meets.
for allocator in default optimal; do
    summary=$("$root/build/release/sim/kestrom-sim" run --allocator "$allocator" | tail -n 1) || true
    echo "$allocator allocator, built-in vessel: $summary"
done
