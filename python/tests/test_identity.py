"""The module gives the command line's values bit for bit: Vessel.allocate against
`kestrom-sim run --json`, which loads the plug-in (Kestrom, or KestromOptimal with
--allocator optimal) and runs its real request cycle on a host table, and solve against
`kestrom-sim solve`."""
import json
import math
import random

import kestrom
import pytest

from conftest import parse, EXAMPLES, assert_same_numbers, run_sim, same_bits, scenario

SCENARIOS = sorted(p.name for p in EXAMPLES.glob("*.json"))


def with_repeats(document):
    """Each demand twice and a return to rest: the published cells are the next request's
    present settings."""
    demands = document["demands"]
    document["demands"] = [d for d in demands for _ in range(2)] + [[0.0, 0.0, 0.0]]
    return document


def with_rejected_row(document):
    """A rotation range the model rejects: every request shuts the thrusters down while
    reading, then computes the rows before it."""
    document["rows"][1].update(type=2, maxRotation=60.0)
    return document


def assert_request_equal(ours, line, n):
    where = f"request {n}"
    assert ours.started == line["started"], where
    assert_same_numbers(ours.force, [r["force"] for r in line["rows"]], where + " force")
    assert_same_numbers(ours.angle, [r["angle"] for r in line["rows"]], where + " angle")
    assert_same_numbers(ours.generated, line["thrustGenerated"], where + " generated")
    assert_same_numbers([ours.energy, ours.active_thrusters, ours.error],
                        [line["energy"], line["activeThrusters"], line["error"]], where)
    assert ours.error_message == line["errorMessage"], where
    assert ours.shutdowns == [s["errorMessage"] for s in line["shutdowns"]], where
    assert_same_numbers(ours.table_thrust, line["tableThrust"], where + " table thrust")
    assert_same_numbers(ours.shortfall, line["shortfall"], where + " shortfall")
    assert ours.met == line["met"], where
    assert list(ours.opposite) == line["opposite"], where
    assert ours.table_matches_generated == line["tableMatchesGenerated"], where
    assert ours.zero_rows == line["zeroRows"], where


def assert_vessel_equals_run_json(document, allocator, path, name):
    """Runs the document's demands through `run --json` and through one Vessel, request by
    request, and checks each pair; returns the Vessel's results."""
    path.write_text(json.dumps(document))
    status, out, err = run_sim(["run", "--json", "--allocator", allocator, "--log-dir",
                                str(path.parent), str(path)], path.parent)
    assert status in (0, 5), err
    lines = [parse(line) for line in out.splitlines()]
    assert len(lines) == len(document["demands"])
    vessel = kestrom.Vessel(document, allocator=allocator)
    results = [vessel.allocate(d) for d in document["demands"]]
    for n, (ours, line) in enumerate(zip(results, lines), start=1):
        assert_request_equal(ours, line, f"{name} {n}")
    return results


@pytest.mark.parametrize("allocator", ["default", "optimal"])
@pytest.mark.parametrize("name", SCENARIOS)
@pytest.mark.parametrize("variant", [with_repeats, with_rejected_row])
def test_vessel_equals_run_json(name, variant, allocator, workdir):
    document = variant(scenario(name))
    results = assert_vessel_equals_run_json(document, allocator, workdir / "scenario.json",
                                            name)
    if variant is with_rejected_row:
        assert all(r.shutdowns for r in results)


def random_demands(document, rng, count):
    """Demands from well inside the vessel's reach to far beyond it, in every direction,
    none of them a float: the table and the host round them, and so must the module."""
    reach = sum(r["maxForce"] for r in document["rows"])
    arm = max(math.hypot(r["position"][0], r["position"][2]) for r in document["rows"])
    demands = []
    for _ in range(count):
        size = reach * rng.choice([0.02, 0.2, 0.6, 1.2, 3.0])
        demands.append([size * rng.uniform(-1, 1), size * rng.uniform(-1, 1),
                        size * arm * rng.uniform(-1, 1)])
    return demands


@pytest.mark.parametrize("allocator,action",
                         [("default", a) for a in range(1, 8)] + [("optimal", 4)])
def test_vessel_equals_run_json_on_random_requests(allocator, action, workdir):
    """Every example with each "Action in Extrema" from 1 to 7 on 20 seeded random demands
    (560 requests): the demands beyond reach end in the component-mode retry (1 to 6) or the
    rescaling (7), and the ferry's quadrant-limited azimuths are barred whenever the demand
    points out of their quadrants. The optimal allocator (which has no such action) on 80
    more: the demands beyond reach get the closest attainable thrust."""
    rng = random.Random(2000 + action + (100 if allocator == "optimal" else 0))
    missed = 0
    for name in SCENARIOS:
        document = scenario(name)
        document["actionInExtrema"] = action
        document["demands"] = random_demands(document, rng, 20)
        results = assert_vessel_equals_run_json(document, allocator,
                                                workdir / f"{action}-{name}", name)
        missed += sum(not r.met for r in results)
    assert missed >= 20


def test_request_on_a_table_that_already_meets_it(workdir):
    """Thrusters at forward arm 0, where the check of the present settings sees the published
    table's thrust with sway reversed: a second demand of exactly that is left alone by the
    channel, and the result stays the first one's."""
    document = {"rows": [{"position": [side, 0.0, 0.0], "type": 2, "active": 1,
                          "maxForce": 5000.0, "reversePenalty": 1.0, "force": 0.0,
                          "angle": 0.0} for side in (-4.0, 4.0)]}
    first = kestrom.Vessel(document).allocate([1000.0, 200.0, 300.0])
    g = [float(x) for x in first.generated]
    document["demands"] = [[1000.0, 200.0, 300.0], [g[0], -g[1], g[2]]]
    path = workdir / "scenario.json"
    path.write_text(json.dumps(document))
    status, out, err = run_sim(["run", "--json", "--log-dir", str(workdir), str(path)], workdir)
    assert status == 0, err
    lines = [parse(line) for line in out.splitlines()]
    vessel = kestrom.Vessel(document)
    results = [vessel.allocate(d) for d in document["demands"]]
    assert [r.started for r in results] == [True, False]
    for n, (ours, line) in enumerate(zip(results, lines), start=1):
        assert_request_equal(ours, line, n)


def problem_files():
    return sorted((EXAMPLES / "problems").glob("*.json"))


@pytest.mark.parametrize("path", problem_files(), ids=lambda p: p.name)
@pytest.mark.parametrize("reference", [False, True])
def test_solve_equals_solve_command(path, reference, workdir):
    args = ["solve", str(path)] + (["--reference"] if reference else [])
    status, out, err = run_sim(args, workdir)
    assert status == 0, err
    theirs = parse(out)
    ours = kestrom.solve(json.loads(path.read_text()), reference=reference)
    assert_same_numbers(ours["total"], theirs["total"], "total")
    assert len(ours["thrusters"]) == len(theirs["thrusters"])
    for mine, cli in zip(ours["thrusters"], theirs["thrusters"]):
        assert mine.keys() == cli.keys()
        assert_same_numbers(mine.values(), cli.values(), "thruster")


def test_solve_carries_non_finite_numbers_and_model_errors_like_the_command(workdir):
    problem = json.loads(problem_files()[0].read_text())
    # A NaN demand: the file says "NaN", Python says float("nan"); same result.
    problem["demand"][0] = "NaN"
    path = workdir / "nan.json"
    path.write_text(json.dumps(problem))
    status, out, _ = run_sim(["solve", str(path)], workdir)
    theirs = parse(out)
    problem["demand"][0] = float("nan")
    ours = kestrom.solve(problem)
    assert ours.keys() == theirs.keys()
    if "total" in theirs:
        assert_same_numbers(ours["total"], theirs["total"], "total")
    # A rotation range the model rejects: the command's {"error": text}, exit status 1.
    problem["demand"][0] = 1000.0
    problem["thrusters"][0]["maxRotation"] = 60.0
    path.write_text(json.dumps(problem))
    status, out, _ = run_sim(["solve", str(path)], workdir)
    assert status == 1
    assert kestrom.solve(problem) == parse(out)


@pytest.mark.parametrize("moment", [0.0, 1e6])
def test_capability_equals_capability_json(moment, workdir):
    """At 1e6 N m even the pure moment is missed in every direction (null), at 0 never."""
    path = EXAMPLES / "supply-vessel.json"
    status, out, err = run_sim(["capability", "--json", "--directions", "12", "--step", "5",
                                "--moment", repr(moment), str(path)], workdir)
    assert status == 0, err
    theirs = parse(out)
    ours = kestrom.capability(kestrom.Vessel(scenario("supply-vessel.json")), directions=12,
                              moment=moment, step=5.0)
    assert same_bits(ours["moment"], theirs["moment"])
    directions = theirs["directions"]
    assert_same_numbers(ours["angle"], [d["angle"] for d in directions], "angle")
    assert_same_numbers(ours["physical"], [d["physical"] for d in directions], "physical")
    # null where even the pure moment is missed: NaN in the array.
    assert_same_numbers(ours["allocation"],
                        ["NaN" if d["allocation"] is None else d["allocation"]
                         for d in directions], "allocation")
    assert_same_numbers(ours["optimal"],
                        ["NaN" if d["optimal"] is None else d["optimal"] for d in directions],
                        "optimal")
    for mine, d in zip(ours["metAbove"], directions):
        assert_same_numbers(mine, d["metAbove"], "metAbove")
    assert [math.isnan(a) for a in ours["allocation"]] == [moment > 0] * 12
