#!/usr/bin/env bash
# Runs one scenario (none: the built-in vessel) with one allocator (default or optimal: the
# plug-in of that channel type) through the Linux build's kestrom-sim and,
# under the emulator, through kestrom-sim.exe, and compares what the plug-in published on each
# request of `run --json`: the rows' forces and angles, the generated thrust, the energy, the
# active count, the error message and flag. Every value must be the same, bit for bit (the
# optimal allocator: within its tolerances, compare-optimal.py), and so must the exit status.
# (The tool's own views and its timings are left out.)
#
# Usage: compare-run.sh LINUX_SIM EMULATOR WINDOWS_SIM ALLOCATOR [SCENARIO]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
linux=$(realpath "$1") emulator=$2 windows=$(realpath "$3")
scenario=(--allocator "$4")
[ $# -ge 5 ] && scenario+=("$(realpath "$5")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # the plug-in writes its logs into the working directory

status=0
"$linux" run --json "${scenario[@]}" >linux.out 2>linux.err || status=$?
windows_status=0
"$emulator" "$windows" run --json "${scenario[@]}" >windows.out 2>windows.err || windows_status=$?

# One line per request with the published fields; Windows' text-mode CR LF ends are read as
# line breaks. Numbers are compared as the doubles they print.
published() {
    python3 -c '
import json, sys
keys = ("demand", "started", "rows", "thrustGenerated", "energy", "activeThrusters",
        "errorMessage", "error")
for line in sys.stdin:
    request = json.loads(line)
    print(json.dumps({key: request[key] for key in keys}))
' <"$1"
}
published linux.out >linux.json
published windows.out >windows.json

if [ "$status" != "$windows_status" ]; then
    echo "exit status: Linux $status, Windows $windows_status" >&2
    cat linux.err windows.err >&2
    exit 1
fi
if [ ! -s linux.json ]; then
    echo "nothing published" >&2
    cat linux.err >&2
    exit 1
fi
if [ "$4" = optimal ]; then
    # The optimal allocator's split among the thrusters is settled by convergence tolerances
    # on a flat optimum, so the last bits of sin and cos move it within them: the same thrust
    # within the demand's met tolerance, the same energy within 1e-3, every force within 1 %
    # of the largest and every angle within 0.01 rad (docs/windows.md).
    python3 "$here/compare-optimal.py" linux.json windows.json
elif ! diff linux.json windows.json >difference.txt; then
    echo "published values differ (< Linux, > Windows):" >&2
    head -n 20 difference.txt >&2
    exit 1
fi
echo "$(wc -l <linux.json) requests published the same values on Linux and Windows"
