"""Checks a scope CSV of the velkor tool against a known move of one axis.

usage: check_scope.py FILE.csv --axis N [--peak PULSES/S] [--duration SECONDS]
                      [--first-lp LOW HIGH] [--last-lp PULSES] [--slots N]
Peak speed and duration must hold within one sample's change: the speed may
be one sample of acceleration off, the duration one sample at either end.
"""
import argparse
import csv
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("csv")
    parser.add_argument("--axis", type=int, required=True)
    parser.add_argument("--peak", type=float)
    parser.add_argument("--acceleration", type=float, default=0, help="pulses/s^2, for the speed's tolerance")
    parser.add_argument("--duration", type=float)
    parser.add_argument("--first-lp", type=int, nargs=2)
    parser.add_argument("--last-lp", type=int)
    parser.add_argument("--slots", type=int, default=1)
    args = parser.parse_args()

    with open(args.csv, newline="") as f:
        rows = list(csv.DictReader(f))
    problems = []
    if not rows:
        problems.append("no samples")
    else:
        slots = {r["slot"] for r in rows}
        if len(slots) != args.slots:
            problems.append("samples of %d slots, not %d" % (len(slots), args.slots))
        rows = [r for r in rows if r["slot"] == sorted(slots)[0]]
        time = [float(r["time_s"]) for r in rows]
        speed = [float(r["axis%d_speed" % args.axis]) for r in rows]
        lp = [int(r["axis%d_lp" % args.axis]) for r in rows]
        period = min(b - a for a, b in zip(time, time[1:])) if len(time) > 1 else 0.001
        if args.peak is not None:
            slack = max(args.acceleration * period, 1.0)
            if abs(max(speed) - args.peak) > slack:
                problems.append("peak speed %.1f, expected %.1f within %.1f" % (max(speed), args.peak, slack))
        if args.duration is not None:
            moving = [t for t, v in zip(time, speed) if v > 0]
            duration = moving[-1] - moving[0] + period if moving else 0
            if abs(duration - args.duration) > 2 * period + 1e-9:
                problems.append("moving for %.4f s, expected %.4f within %.4f" % (duration, args.duration, 2 * period))
        if args.first_lp is not None and not args.first_lp[0] <= lp[0] <= args.first_lp[1]:
            problems.append("first sample at LP %d, expected %d to %d" % (lp[0], args.first_lp[0], args.first_lp[1]))
        if args.last_lp is not None and lp[-1] != args.last_lp:
            problems.append("last sample at LP %d, expected %d" % (lp[-1], args.last_lp))
    for p in problems:
        print("%s: %s" % (args.csv, p))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
