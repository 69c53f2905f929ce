"""The capability envelope of a vessel as a polar plot: the largest force the allocation holds
in each direction against the most its thrusters could give.

    PYTHONPATH=build/release/python /usr/bin/python3 examples/python/capability_plot.py \\
        examples/ferry.json [--moment 0] [--directions 72] [--out capability.png]
"""
import argparse
import json

import kestrom
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after choosing the file backend)
import numpy as np  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("scenario", help="scenario file (JSON) of kestrom-sim run")
    parser.add_argument("--moment", type=float, default=0.0, help="yaw moment held, N m")
    parser.add_argument("--directions", type=int, default=72)
    parser.add_argument("--out", default="capability.png")
    args = parser.parse_args()

    with open(args.scenario) as f:
        vessel = kestrom.Vessel(json.load(f))
    envelope = kestrom.capability(vessel, directions=args.directions, moment=args.moment)

    # Angles turn from ahead (0) towards port (90): ahead up, port to the left.
    theta = np.radians(np.append(envelope["angle"], envelope["angle"][0]))
    closed = lambda values: np.append(values, values[0])  # noqa: E731
    fig, ax = plt.subplots(subplot_kw={"projection": "polar"}, figsize=(7, 7))
    ax.set_theta_zero_location("N")
    ax.set_theta_direction(1)
    ax.fill(theta, closed(envelope["physical"]), color="0.85", label="physical limit")
    # A direction whose pure moment is missed holds no force at all (NaN): drawn at 0.
    allocation = np.nan_to_num(envelope["allocation"], nan=0.0)
    ax.fill(theta, closed(allocation), color="tab:blue", alpha=0.6,
            label="allocation's limit: every force up to it is met")
    for angle, above in zip(envelope["angle"], envelope["metAbove"]):
        if len(above):
            ax.plot(np.full(len(above), np.radians(angle)), above, ".", color="tab:orange")
    ax.plot([], [], ".", color="tab:orange", label="met again above the first miss")
    ax.set_title(f"{vessel.name}: capability at a yaw moment of {envelope['moment']:g} N m")
    ax.legend(loc="upper center", bbox_to_anchor=(0.5, -0.08))
    fig.savefig(args.out, dpi=120, bbox_inches="tight")
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
