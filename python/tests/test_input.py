"""Bad input raises ValueError with the command line's text and never takes the interpreter
down; vessels computing in threads give what they give one after the other."""
import json
import threading

import kestrom
import numpy as np
import pytest

from conftest import parse, run_sim, same_bits, scenario


def cli_message(document, workdir):
    """The command line's one line about a scenario file, without its prefix and file name."""
    path = workdir / "scenario.json"
    path.write_text(json.dumps(document))
    status, _, err = run_sim(["run", "--json", "--log-dir", str(workdir), str(path)], workdir)
    assert status == 2
    prefix = f"kestrom-sim: {path}: "
    line = err.splitlines()[0]
    assert line.startswith(prefix), line
    return line[len(prefix):]


def ferry_with(change):
    document = scenario("ferry.json")
    change(document)
    return document


BAD_SCENARIOS = {
    "no rows": lambda d: d.pop("rows"),
    "one row": lambda d: d.update(rows=d["rows"][:1]),
    "text force": lambda d: d["rows"][2].update(force="big"),
    "short position": lambda d: d["rows"][0].update(position=[1.0, 2.0]),
    "unknown key": lambda d: d["rows"][3].update(speed=3),
    "column gap": lambda d: d["rows"][1].pop("maxForce"),
    "empty demands": lambda d: d.update(demands=[]),
    "float overflow": lambda d: d["rows"][0].update(maxForce=1e39),
}


@pytest.mark.parametrize("case", sorted(BAD_SCENARIOS))
def test_bad_scenario_raises_the_commands_text(case, workdir):
    document = ferry_with(BAD_SCENARIOS[case])
    with pytest.raises(ValueError) as raised:
        kestrom.Vessel(document)
    assert str(raised.value) == "scenario: " + cli_message(document, workdir)


@pytest.mark.parametrize("value, text", [
    (float("nan"), "scenario: rows[0].maxForce: expected a finite number"),
    (np.float32(np.inf), "scenario: rows[0].maxForce: expected a finite number"),
    (None, "scenario: rows[0].maxForce: expected a number, got null"),
    (object(), "scenario: rows[0].maxForce: expected a number, text, list or dict, got object"),
])
def test_values_no_file_can_hold_are_named_by_key(value, text):
    with pytest.raises(ValueError) as raised:
        kestrom.Vessel(ferry_with(lambda d: d["rows"][0].update(maxForce=value)))
    assert str(raised.value) == text


def test_odd_containers_do_not_crash():
    looped = []
    looped.append(looped)
    for bad in [None, 3, "rows", [], {1: 2}, {"rows": looped}]:
        with pytest.raises(ValueError):
            kestrom.Vessel(bad)
    with pytest.raises(ValueError, match=r"^problem: thrusters: missing$"):
        kestrom.solve({"demand": [1.0, 2.0, 3.0, 0.0]})


def test_bad_demands():
    vessel = kestrom.Vessel(scenario("ferry.json"))
    for demand, text in [
        ([1.0, 2.0], "demand: expected 3 numbers [fwd, swd, rot]"),
        (np.zeros((2, 3)), "demand: expected 3 numbers [fwd, swd, rot]"),
        ([1.0, float("nan"), 0.0], "demand[1]: expected a finite number"),
        ("abc", "demand: expected an array, got a string"),
    ]:
        with pytest.raises(ValueError) as raised:
            vessel.allocate(demand)
        assert str(raised.value) == "allocate: " + text
    with pytest.raises(ValueError):
        vessel.allocate([1.0, 0.0, 0.0], tolerance=float("nan"))
    # Numpy input of any float type and a tuple are the same demand.
    a = vessel.allocate(np.array([300.0, -50.0, 10.0], dtype=np.float32))
    b = kestrom.Vessel(scenario("ferry.json")).allocate((300.0, -50.0, 10.0))
    assert all(same_bits(x, y) for x, y in zip(a.force, b.force))


def test_capability_refusals(workdir):
    """A row the model rejects as the command words it; options named by their keyword."""
    document = ferry_with(lambda d: d["rows"][1].update(maxRotation=60.0))
    path = workdir / "rejected.json"
    path.write_text(json.dumps(document))
    status, _, err = run_sim(["capability", str(path)], workdir)
    assert status == 2
    with pytest.raises(ValueError) as raised:
        kestrom.capability(kestrom.Vessel(document))
    assert "kestrom-sim: " + str(raised.value).replace("scenario", str(path), 1) == err.strip()
    vessel = kestrom.Vessel(scenario("ferry.json"))
    for options, text in [({"directions": 0}, "directions: expected 1 to 3600"),
                          ({"moment": float("nan")}, "moment: expected a finite number"),
                          ({"step": 0.0}, "step: expected a percentage from 0.01 to 100")]:
        with pytest.raises(ValueError) as raised:
            kestrom.capability(vessel, **options)
        assert str(raised.value) == text


def series(vessel, demands):
    return [(r.force.tobytes(), r.angle.tobytes(), r.generated.tobytes(), r.error_message)
            for r in (vessel.allocate(d) for d in demands)]


def test_vessels_in_threads_give_the_sequential_results():
    names = ["ferry.json", "drillship.json", "mss-supply.json", "supply-vessel.json"]
    rng = np.random.default_rng(16)
    work = []
    for name in names:
        document = scenario(name)
        scale = max(row["maxForce"] for row in document["rows"])
        work.append((document, rng.uniform(-scale, scale, size=(40, 3))))
    expected = [series(kestrom.Vessel(d), demands) for d, demands in work]
    got = [None] * len(work)

    def run(i):
        got[i] = series(kestrom.Vessel(work[i][0]), work[i][1])

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(work))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert got == expected
