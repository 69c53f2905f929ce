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
import matplotlib.ticker  # noqa: E402
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

    # The tool's convention, as in the SVG of kestrom-sim capability: angles turn from ahead
    # (0) towards port (90), counter-clockwise seen from above; ahead up, port to the left.
    theta = np.radians(np.append(envelope["angle"], envelope["angle"][0]))
    closed = lambda values: np.append(values, values[0])  # noqa: E731
    # Forces in kN or MN, whichever keeps the ring labels short.
    largest = float(np.max(envelope["physical"])) if len(envelope["physical"]) else 0.0
    unit, per = ("MN", 1e6) if largest >= 1e6 else ("kN", 1e3) if largest >= 1e3 else ("N", 1.0)
    fig, ax = plt.subplots(subplot_kw={"projection": "polar"}, figsize=(7, 7))
    ax.set_theta_zero_location("N")
    ax.set_theta_direction(1)
    ax.fill(theta, closed(envelope["physical"]) / per, color="0.85", label="physical limit")
    # A direction whose pure moment is missed holds no force at all (NaN): drawn at 0.
    allocation = np.nan_to_num(envelope["allocation"], nan=0.0)
    ax.fill(theta, closed(allocation) / per, color="tab:blue", alpha=0.6,
            label="allocation's limit: every force up to it is met")
    for angle, above in zip(envelope["angle"], envelope["metAbove"]):
        if len(above):
            ax.plot(np.full(len(above), np.radians(angle)), np.asarray(above) / per, ".",
                    color="tab:orange")
    ax.yaxis.set_major_formatter(matplotlib.ticker.FuncFormatter(
        lambda value, _: f"{value:g} {unit}"))
    # Inside the rim, clear of the degree labels outside it.
    for angle, word, shift in ((0, "ahead", -12), (90, "port", -14), (180, "astern", 12),
                               (270, "starboard", -14)):
        ax.annotate(word, xy=(np.radians(angle), ax.get_rmax()), xytext=(0, shift),
                    textcoords="offset points", ha="center", va="center", fontweight="bold",
                    xycoords="data", annotation_clip=False,
                    bbox={"boxstyle": "round", "fc": "white", "ec": "none", "alpha": 0.8})
    ax.plot([], [], ".", color="tab:orange", label="met again above the first miss")
    ax.set_title(f"{vessel.name}: capability at a yaw moment of {envelope['moment']:g} N m\n"
                 "angle: direction of the demanded force, from ahead towards port")
    ax.legend(loc="upper center", bbox_to_anchor=(0.5, -0.08))
    fig.savefig(args.out, dpi=120, bbox_inches="tight")
    print(f"wrote {args.out}")


if __name__ == "__main__":
    main()
