"""What Vessel.allocate adds to a request: the same demands on a fresh table, once through
the module, once in a C++ loop (kestrom._time_requests), interleaved, median of the rounds.
Prints figures of this run; nothing here decides a test's verdict.

    PYTHONPATH=build/release/python /usr/bin/python3 python/bench_allocate.py
"""
import json
import pathlib
import statistics
import sys
import time

import kestrom
import numpy as np

EXAMPLES = pathlib.Path(__file__).resolve().parents[1] / "examples"


def python_seconds(document, demands, read):
    vessel = kestrom.Vessel(document)
    start = time.perf_counter()
    if read:
        for d in demands:
            r = vessel.allocate(d)
            r.force, r.angle, r.generated
    else:
        for d in demands:
            vessel.allocate(d)
    return time.perf_counter() - start


# Two free azimuths: a request of a few microseconds, where the module's share shows most.
TWO_AZIMUTHS = {"name": "two azimuths", "rows": [
    {"position": [side, 0.0, -30.0], "type": 2, "active": 1, "maxForce": 5e5,
     "reversePenalty": 1.0, "force": 0.0, "angle": 0.0} for side in (-6.0, 6.0)]}


def cases():
    yield "two azimuths", TWO_AZIMUTHS, 4000
    yield "supply-vessel", json.loads((EXAMPLES / "supply-vessel.json").read_text()), 300


def main(rounds=9):
    print("table           C++ us/req  allocate us/req  added us  arrays read us  added us")
    for name, document, count in cases():
        scale = max(row["maxForce"] for row in document["rows"])
        demands = np.random.default_rng(16).uniform(-0.3 * scale, 0.3 * scale, (count, 3))
        as_lists = demands.tolist()
        cpp, plain, read = [], [], []
        for _ in range(rounds):
            cpp.append(kestrom._time_requests(document, as_lists) / count)
            plain.append(python_seconds(document, as_lists, False) / count)
            read.append(python_seconds(document, as_lists, True) / count)
        c, p, r = (1e6 * statistics.median(x) for x in (cpp, plain, read))
        print(f"{name:<16}{c:10.2f}{p:17.2f}{p - c:10.2f}{r:16.2f}{r - c:10.2f}")


if __name__ == "__main__":
    sys.exit(main())
