"""What a user reads off the module without digging: the command line's warnings through
Python's warnings module, `ok` and the repr after a shutdown or a miss, a series of demands in
one call, and the progress of a capability envelope."""
import math
import warnings

import kestrom
import numpy as np
import pytest

from conftest import scenario


def degrees_by_mistake():
    """The drillship with one range given in degrees (90): the model rejects that row while the
    request is read, the channel shuts down and then publishes the rows read before it."""
    s = scenario("drillship.json")
    s["rows"][1]["maxRotation"] = 90.0
    return s


def test_warnings_reach_python_with_the_command_lines_texts():
    with pytest.warns(UserWarning) as caught:
        kestrom.Vessel(degrees_by_mistake())
    texts = [str(w.message) for w in caught]
    assert any("scenario: rows[1].maxRotation: 90 is above 2pi: radians expected: degrees?" in t
               for t in texts), texts
    with pytest.warns(UserWarning, match="reversePenalty: a fixed-direction thruster with a "
                                         "reverse penalty of 0.8"):
        kestrom.Vessel(scenario("supply-vessel.json"))
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        kestrom.Vessel(scenario("ferry.json"))  # an example free of warnings stays silent


def test_every_request_is_warned_of_barrings_cost_before_it_starts():
    """The ferry's four limited azimuths twice: barring may search 12^8 solves per request.
    With warnings as errors the warning stops the request before it computes."""
    doubled = scenario("ferry.json")
    doubled["rows"] = doubled["rows"] * 2
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        vessel = kestrom.Vessel(doubled)  # the table itself is fine
        for request in (lambda: vessel.allocate([300.0, 0.0, 0.0]),
                        lambda: vessel.allocate_series([[300.0, 0.0, 0.0]])):
            with pytest.raises(UserWarning, match=r"scenario: rows: 8 active rows .* 12\^8"):
                request()
        # The optimal allocator does not bar: silent, and it meets the demand.
        assert kestrom.Vessel(doubled, allocator="optimal").allocate([300.0, 0.0, 0.0]).met


def test_ok_and_repr_tell_a_shutdown_and_a_miss():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        vessel = kestrom.Vessel(degrees_by_mistake())
    r = vessel.allocate([1.0, 0.5, 0.3])
    assert r.error == 0 and r.error_message == "No errors" and len(r.shutdowns) == 1
    assert r.ok is False
    assert "ok=False" in repr(r) and "shutdowns=1" in repr(r)

    pair = {"rows": [{"force": 0, "angle": 0, "position": [0, 0, z], "type": 2, "active": 1,
                      "maxForce": 500, "reversePenalty": 1, "startAngle": 0,
                      "maxRotation": 3.14159265358} for z in (1.8, -1.8)]}
    vessel = kestrom.Vessel(pair)
    missed = vessel.allocate([2000.0, 0.0, 0.0])  # two 500 N azimuths give 1 kN at most
    assert not missed.met and not missed.ok
    assert "ok=False met=False" in repr(missed) and "shortfall=[1 kN" in repr(missed)
    held = vessel.allocate([600.0, 0.0, 0.0])
    assert held.ok and repr(held).startswith("<AllocationResult ok=True met=True")
    assert repr(vessel) == "<Vessel 'scenario' with 2 rows>"


def test_a_series_is_the_requests_one_after_the_other():
    s = scenario("supply-vessel.json")
    demands = np.array([[60000.0, -40000.0, 1.5e6], [1.5e6, 0.0, 0.0], [0.0, 0.0, 0.0],
                        [60000.0, -40000.0, 1.5e6]])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        series = kestrom.Vessel(s).allocate_series(demands)
        one_by_one = kestrom.Vessel(s)
    singles = [one_by_one.allocate(list(d)) for d in demands]
    assert series["force"].shape == (4, len(s["rows"]))
    assert series["table_thrust"].shape == (4, 3)
    for n, r in enumerate(singles):
        assert np.array_equal(series["force"][n], r.force), n
        assert np.array_equal(series["angle"][n], r.angle), n
        assert np.array_equal(series["generated"][n], r.generated), n
        assert np.array_equal(series["table_thrust"][n], r.table_thrust), n
        assert series["met"][n] == r.met and series["ok"][n] == r.ok, n
        assert series["started"][n] == r.started and series["error"][n] == r.error, n
    with pytest.raises(ValueError, match="expected N rows of"):
        one_by_one.allocate_series([1.0, 2.0, 3.0])
    with pytest.raises(ValueError, match=r"demands\[1\]\[2\]: expected a finite number"):
        one_by_one.allocate_series([[1.0, 2.0, 3.0], [1.0, 2.0, float("nan")]])


def test_capability_reports_its_progress():
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        vessel = kestrom.Vessel(scenario("mss-supply.json"))
    calls = []
    kestrom.capability(vessel, directions=12, step=50.0, threads=2,
                       progress=lambda done, total: calls.append((done, total)))
    assert calls == [(k, 12) for k in range(1, 13)]

    def stop(done, total):
        raise KeyboardInterrupt("stopped at %d of %d" % (done, total))

    with pytest.raises(KeyboardInterrupt, match="stopped at 1 of 12"):
        kestrom.capability(vessel, directions=12, step=50.0, progress=stop)


def test_a_timeout_changes_nothing_in_an_optimal_series():
    """The ferry's demand turning slowly: the optimal allocator keeps a row's sector unless
    switching saves enough, so the memory of the previous request decides the bits. Requests
    with a timeout run on a copy of the table and must carry that memory along."""
    document = scenario("ferry.json")
    timed, plain = (kestrom.Vessel(document, allocator="optimal") for _ in range(2))
    for step in range(72):
        heading = math.radians(5 * step)
        demand = [250 * math.cos(heading), 250 * math.sin(heading), 0.0]
        a, b = timed.allocate(demand, timeout=100), plain.allocate(demand)
        assert a.force.tobytes() == b.force.tobytes(), step
        assert a.angle.tobytes() == b.angle.tobytes(), step
