"""A seeded mutation test of the module: 1,200 inputs made by changing one or two values of the
examples into hostile ones (huge integers, lone surrogates, control characters, NaN, odd
types, deleted or extra keys), each given to solve, Vessel.allocate or capability in a child
process of its own (forked, so no input can affect the next). Every child must end normally
with a result, ValueError, TypeError or TimeoutError: a signal, another exception or a child
still running after a generous limit is a finding. The inputs follow from the seed alone, so
the verdict is the same on every run."""
import copy
import json
import os
import pathlib
import random
import select
import signal
import subprocess
import sys
import time

SEED = 24
COUNT = 1200
# Far above what any input takes (allocate has its own timeout below): only a hang reaches it.
CHILD_LIMIT_S = 120.0
ALLOWED = {"ok", "ValueError", "TypeError", "TimeoutError"}
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


class RaisingList(list):
    def __iter__(self):
        raise RuntimeError("no")


class Tolist:
    def tolist(self):
        return self


def hostile_values():
    import numpy as np
    return [10**400, -(10**400), 2**63, float("nan"), float("inf"), -float("inf"), 1e308,
            -0.0, 0, 1, -1, 3.5e38, 1e-320, "\ud800", "a\nb", "\x1b[2J", "", "NaN", "Infinity",
            None, True, [], {}, [1.0], [[[]]], b"x", {1}, object(), Tolist(), RaisingList([1]),
            np.float32(1.5), np.array([1.0, 2.0]), np.array([[1.0]]), np.float64("nan"),
            np.int64(-5), {"\ud800": 1}, {"k\n": 2}, complex(1, 2)]


def leaves(value, path=()):
    """Every (path, value) inside a document of dicts and lists."""
    yield path, value
    if type(value) is dict:  # noqa: E721  hostile subclasses are leaves
        for key, item in value.items():
            yield from leaves(item, path + (key,))
    elif type(value) is list:  # noqa: E721
        for index, item in enumerate(value):
            yield from leaves(item, path + (index,))


def mutate(document, rng, values):
    document = copy.deepcopy(document)
    for _ in range(rng.choice([1, 1, 2])):
        path, _ = rng.choice(list(leaves(document)))
        if not path:
            continue
        parent = document
        for step in path[:-1]:
            parent = parent[step]
        action = rng.randrange(6)
        if action == 0 and type(parent) is dict:  # noqa: E721
            del parent[path[-1]]
        elif action == 1 and type(parent) is dict:  # noqa: E721
            parent[rng.choice(["extra", "a\nb", "\ud800", "rows "])] = rng.choice(values)
        else:
            parent[path[-1]] = rng.choice(values)
    return document


def make_case(rng, values, examples):
    """One (operation, arguments) pair; only the indices and the draws depend on the seed."""
    kind = rng.choice(["solve", "allocate", "allocate", "capability"])
    if kind == "solve":
        return kind, (mutate(rng.choice(examples["problems"]), rng, values),)
    vessel = rng.choice(examples["scenarios"])
    if kind == "allocate":
        demand = [rng.uniform(-500, 500) for _ in range(3)]
        wrapped = mutate({"scenario": vessel, "demand": demand}, rng, values)
        return kind, (wrapped.get("scenario"), wrapped.get("demand"))
    options = {"directions": rng.choice([1, 2, 3]), "step": rng.choice([25.0, 50.0]),
               "moment": rng.choice([0.0, 100.0, -1e5])}
    wrapped = mutate({"scenario": vessel, "options": options}, rng, values)
    return kind, (wrapped.get("scenario"), wrapped.get("options"))


def run_case(kind, arguments):
    import kestrom
    if kind == "solve":
        kestrom.solve(*arguments)
    elif kind == "allocate":
        kestrom.Vessel(arguments[0]).allocate(arguments[1], timeout=1.0)
    else:
        options = arguments[1] if isinstance(arguments[1], dict) else {}
        options = {k: v for k, v in options.items() if k in ("directions", "step", "moment")}
        kestrom.capability(kestrom.Vessel(arguments[0]), threads=1, **options)


def child(kind, arguments, fd):
    try:
        run_case(kind, arguments)
        outcome = "ok"
    except BaseException as e:  # the verdict names whatever escaped
        outcome = type(e).__name__
    os.write(fd, outcome.encode())
    os._exit(0)


def start(kind, arguments):
    read, write = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(read)
        child(kind, arguments, write)
    os.close(write)
    return pid, read


def finish(pid, read, started):
    """The child's outcome, or what ended it otherwise."""
    ready, _, _ = select.select([read], [], [], max(0.0, started + CHILD_LIMIT_S - time.time()))
    if not ready:
        os.kill(pid, signal.SIGKILL)
        os.waitpid(pid, 0)
        os.close(read)
        return "hang"
    text = os.read(read, 200).decode()
    os.close(read)
    _, status = os.waitpid(pid, 0)
    if os.WIFSIGNALED(status):
        return "signal %d" % os.WTERMSIG(status)
    return text or "no outcome (status %d)" % os.WEXITSTATUS(status)


def main():
    examples = {
        "scenarios": [json.loads((EXAMPLES / n).read_text())
                      for n in ("ferry.json", "supply-vessel.json", "mss-supply.json")],
        "problems": [json.loads(p.read_text())
                     for p in sorted((EXAMPLES / "problems").glob("*.json"))],
    }
    for document in examples["scenarios"]:
        document.pop("demands", None)
    import kestrom  # noqa: F401  loaded once, before the children fork
    rng = random.Random(SEED)
    findings = []
    running = []
    for number in range(COUNT):
        kind, arguments = make_case(rng, hostile_values(), examples)
        running.append((number, kind, start(kind, arguments), time.time()))
        if len(running) == 2 or number == COUNT - 1:
            for n, k, (pid, read), started in running:
                outcome = finish(pid, read, started)
                if outcome not in ALLOWED:
                    findings.append(f"input {n} ({k}): {outcome}")
            running = []
    print("\n".join(findings) if findings else f"{COUNT} inputs: no finding")
    return 1 if findings else 0


def test_hostile_mutations_never_crash_or_hang():
    done = subprocess.run([sys.executable, __file__], capture_output=True, text=True,
                          timeout=COUNT * CHILD_LIMIT_S)
    assert done.returncode == 0, done.stdout + done.stderr
    assert done.stdout.strip() == f"{COUNT} inputs: no finding"


if __name__ == "__main__":
    sys.exit(main())
