"""What a hostile caller can hand the module: each of these once crashed the interpreter, hung
it or answered with something else than a ValueError naming the key."""
import json
import subprocess
import sys
import textwrap

import kestrom
import pytest

from conftest import REPO, scenario


def azimuth(x, z, max_force, kind=0):
    return {"force": 0.0, "angle": 0.0, "position": [x, 0.0, z], "type": kind, "active": 1,
            "maxForce": max_force, "reversePenalty": 1.0, "startAngle": 0.0,
            "maxRotation": 3.14159265358}


def run_child(code):
    """Runs code in a fresh interpreter (its threads end with it); returns its output."""
    done = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True,
                          text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_uninitialised_vessel_is_refused():
    vessel = kestrom.Vessel.__new__(kestrom.Vessel)
    for use in (lambda: vessel.rows, lambda: vessel.name, lambda: vessel.allocate([1.0, 0, 0]),
                lambda: kestrom.capability(vessel), lambda: kestrom.capability(3)):
        with pytest.raises(TypeError):
            use()


def test_physical_limit_on_lopsided_arms():
    """GLPK once aborted on a moment far beyond reach and gave up on an arm of 1e-20 m."""
    far = kestrom.Vessel({"rows": [azimuth(-0.1644, -1000.0, 1.5), azimuth(0.1644, -0.9911, 1.5)]})
    with pytest.raises(ValueError, match="^moment: the thrusters cannot hold"):
        kestrom.capability(far, directions=1, moment=1e6)
    for tiny in (1e-20, 1e-38):
        # Two free 1 N azimuths on the centre line: 2 N in every direction at no moment.
        near = kestrom.Vessel({"rows": [azimuth(tiny, 1.0, 1.0, 4), azimuth(0.0, -1.0, 1.0, 4)]})
        physical = kestrom.capability(near, directions=4, step=50.0)["physical"]
        assert all(2.0 * (1 - 1e-9) <= p <= 2.0 * 1.002 for p in physical), physical
    # A row 36 km forward once kept GLPK searching for ever.
    document = scenario("supply-vessel.json")
    document["rows"][1]["position"][2] = -36000.0
    result = kestrom.capability(kestrom.Vessel(document), directions=4, step=100.0)
    assert all(p > 0 for p in result["physical"])


def test_size_bounds_and_odd_arguments():
    vessel = kestrom.Vessel(scenario("ferry.json"))
    for options, text in [({"threads": 100000}, "threads: expected at most "),
                          ({"threads": -1}, "threads: expected at most "),
                          ({"step": 1e-12}, "step: expected a percentage from 0.01 to 100"),
                          ({"directions": 10**30}, "directions: expected 1 to 3600"),
                          ({"moment": "x"}, "moment: expected a number, got str"),
                          ({"moment": 10**400}, "moment: a number too large")]:
        with pytest.raises(ValueError, match="^" + text):
            kestrom.capability(vessel, **options)
    thruster = {"number": 0, "posX": 0.0, "posY": 0.0, "type": 0, "maxForce": 1.0, "force": 0.0,
                "reversePenalty": 1.0, "angle": 0.0, "startAngle": 0.0, "maxRotation": 1.0}
    with pytest.raises(ValueError, match="thrusters: expected at most 128 thrusters, got 129"):
        kestrom.solve({"demand": [1.0, 0.0, 0.0, 0.0], "thrusters": [thruster] * 129})


class Raising:
    def tolist(self):
        raise KeyError("x")


def test_values_without_a_json_form_name_their_key():
    vessel = kestrom.Vessel(scenario("ferry.json"))
    for demand, text in [([10**400, 0, 0], "demand[0]: a whole number too large for a double"),
                         (Raising(), "demand: cannot be read: it raised KeyError"),
                         ({1, 2, 3}, "demand: expected a number, text, list or dict, got set")]:
        with pytest.raises(ValueError) as raised:
            vessel.allocate(demand)
        assert str(raised.value) == "allocate: " + text
    for change, text in [(lambda d: d.update(actionInExtrema=10**400),
                          "scenario: actionInExtrema: a whole number too large for a double"),
                         (lambda d: d.update(name="\ud800"), "scenario: name: text that is not "
                          "valid Unicode (a lone surrogate), '\\ud800'"),
                         (lambda d: d.update({"a\nb": 1}), "scenario: a\\nb: unknown key")]:
        document = scenario("ferry.json")
        change(document)
        with pytest.raises(ValueError) as raised:
            kestrom.Vessel(document)
        assert str(raised.value) == text
    for keyword in ({"tolerance": "x"}, {"timeout": [1]}):
        with pytest.raises(ValueError, match="^" + next(iter(keyword))):
            vessel.allocate([1.0, 0.0, 0.0], **keyword)


def test_not_finite_forces_are_flagged():
    """The ferry's first three rows, one with a reverse penalty of 10: the published forces
    are NaN while "Thrust Generated" is finite and the error is 0."""
    document = scenario("ferry.json")
    document["rows"] = document["rows"][:3]
    document["rows"][0]["reversePenalty"] = 10.0
    result = kestrom.Vessel(document).allocate([300.0, 0.0, 0.0])
    assert result.error == 0 and all(abs(g) < 1e6 for g in result.generated)
    assert result.forces_not_finite and not result.met
    plain = kestrom.Vessel(scenario("ferry.json")).allocate([300.0, 0.0, 0.0])
    assert not plain.forces_not_finite


def test_timeout_leaves_the_vessel_as_it_was():
    """Eight limited azimuths (the ferry's rows twice) make barring search 12^8 solves."""
    out = run_child(f"""
        import json, kestrom
        document = json.load(open({str(REPO / "examples" / "ferry.json")!r}))
        document["rows"] = document["rows"] * 2
        vessel = kestrom.Vessel(document)
        fresh = kestrom.Vessel(document)
        try:
            vessel.allocate([300.0, 0.0, 0.0], timeout=0.5)
            print("returned")
        except TimeoutError as e:
            print("timeout", "stays as it was" in str(e))
        # The one cheap demand on this table (about 1 s); the abandoned search still runs.
        zero = [0.0, 0.0, 0.0]
        a, b = vessel.allocate(zero, timeout=200), fresh.allocate(zero, timeout=200)
        print(a.force.tobytes() == b.force.tobytes(), a.error_message == b.error_message)
        # The interpreter exits normally while the abandoned search still runs.
        """)
    assert out.split() == ["timeout", "True", "True", "True"]
