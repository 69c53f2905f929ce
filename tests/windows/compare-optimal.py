"""Compares the optimal allocator's published requests from Linux and Windows (one JSON object
a line, as compare-run.sh extracts them) within the allocator's own tolerances: the same
discrete outcome (started, active count, error flag, message apart from its numbers), the same
thrust within 1e-4 of the demand's scale, the same energy within 1e-3, each force within 1 % of
the request's largest and each angle within 0.01 rad. A wrong sector, sign, row or message
fails; a split among the thrusters moved within the convergence tolerance does not."""
import json
import math
import re
import sys

NUMBER = re.compile(r"-?\d+(\.\d+)?(e[-+]?\d+)?")


def differences(linux, windows):
    if len(linux) != len(windows):
        yield f"{len(linux)} requests on Linux, {len(windows)} on Windows"
        return
    for n, (a, b) in enumerate(zip(linux, windows), start=1):
        for key in ("demand", "started", "activeThrusters", "error"):
            if a[key] != b[key]:
                yield f"request {n}: {key} {a[key]} on Linux, {b[key]} on Windows"
        if NUMBER.sub("#", a["errorMessage"]) != NUMBER.sub("#", b["errorMessage"]):
            yield f"request {n}: message {a['errorMessage']!r} / {b['errorMessage']!r}"
        scale = max([1.0] + [abs(d) for d in a["demand"]])
        for k, (x, y) in enumerate(zip(a["thrustGenerated"], b["thrustGenerated"])):
            if abs(x - y) > 1e-4 * scale:
                yield f"request {n}: thrust[{k}] {x} on Linux, {y} on Windows"
        if abs(a["energy"] - b["energy"]) > 1e-3 * max(1.0, abs(a["energy"])):
            yield f"request {n}: energy {a['energy']} on Linux, {b['energy']} on Windows"
        largest = max([1.0] + [abs(r["force"]) for r in a["rows"]])
        for i, (r, s) in enumerate(zip(a["rows"], b["rows"])):
            turn = abs(math.remainder(r["angle"] - s["angle"], 2.0 * math.pi))
            if abs(r["force"] - s["force"]) > 0.01 * largest or turn > 0.01:
                yield f"request {n} row {i}: {r} on Linux, {s} on Windows"


def read(path):
    with open(path) as lines:
        return [json.loads(line) for line in lines]


found = list(differences(read(sys.argv[1]), read(sys.argv[2])))
for line in found[:20]:
    print(line, file=sys.stderr)
sys.exit(1 if found else 0)
