#!/usr/bin/env python3
"""An XY path: a line, a half circle, then a zigzag back to the start as one
continuous path. The virtual module's scope samples the positions and speeds
(on a controller the host samples the positions while it waits), and --plot
FILE draws them into a PNG when matplotlib is installed."""

import sys
import time

from _setup import arguments, module_for, velkor

X, Y = velkor.Axes.X, velkor.Axes.Y


def follow(card, samples, start):
    """Samples (time, X, Y) until both axes have stopped, and once after."""
    while True:
        stopped = card.stopped(X | Y)
        samples.append((time.monotonic() - start, card.axis(1).position, card.axis(2).position))
        if stopped:
            return


def plot(samples, speeds, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot")
        return
    times, xs, ys = zip(*samples)
    figure, (path_axes, speed_axes) = plt.subplots(1, 2, figsize=(11, 4))
    path_axes.plot(xs, ys, linewidth=1)
    path_axes.set_xlabel("X (pulses)")
    path_axes.set_ylabel("Y (pulses)")
    path_axes.set_aspect("equal")
    path_axes.set_title("XY path, %d samples" % len(samples))
    for name, values in speeds.items():
        speed_axes.plot(times, values, label=name)
    speed_axes.set_xlabel("time (s)")
    speed_axes.set_ylabel("speed (pulses/s)")
    speed_axes.legend()
    figure.savefig(path, dpi=100)
    print("plot written to %s" % path)


def main():
    parser = arguments(__doc__)
    parser.add_argument("--plot", metavar="FILE", help="write the sampled path as a PNG (needs matplotlib)")
    options = parser.parse_args()
    samples, speeds = [], {}
    with module_for(options) as module, velkor.Card(options.card, slot=options.slot) as card:
        scope = module is not None and module.has("StartScope")
        if scope:
            module.start_scope(period=0.002)
        card.axes(1, 2, 3).position = 0
        card.assign_axes(X, Y, velkor.Axes.Z)
        card.vector_profile(sv=300, v=10000, a=50000)
        start = time.monotonic()
        card.line(3000, 1000)                              # to (3000, 1000)
        card.arc((0, -1000), (0, -2000), clockwise=True)   # half circle to (3000, -1000)
        follow(card, samples, start)
        print("after line and arc: X %d, Y %d" % samples[-1][1:])
        path = card.line_path((1, 2), sv=300, v=8000, a=50000)
        for k in range(10):
            path.segment(-300, 300 if k % 2 else -100, end=k == 9)
        follow(card, samples, start)
        end = samples[-1][1:]
        print("after the path: X %d, Y %d" % end)
        if scope:
            # The module's own samples, at a fixed rate of simulated time.
            columns = module.take_scope(numpy=False)
            samples[:] = list(zip(columns["time"], columns["lp"][0], columns["lp"][1]))
            speeds = {"X": columns["speed"][0], "Y": columns["speed"][1]}
        print("%d samples%s" % (len(samples), " from the scope" if scope else ""))
    if options.plot:
        plot(samples, speeds, options.plot)
    return 0 if end == (0, 0) else 1


if __name__ == "__main__":
    sys.exit(main())
