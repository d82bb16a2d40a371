#!/usr/bin/env python3
"""An XY path: a line, a half circle, then a zigzag back to the start as one
continuous path. The positions are sampled while the axes move and plotted
into a PNG when matplotlib is installed (--plot FILE)."""

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


def plot(samples, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot")
        return
    _, xs, ys = zip(*samples)
    figure, axes = plt.subplots(figsize=(6, 4))
    axes.plot(xs, ys, marker=".", linewidth=1)
    axes.set_xlabel("X (pulses)")
    axes.set_ylabel("Y (pulses)")
    axes.set_aspect("equal")
    axes.set_title("XY path, %d samples" % len(samples))
    figure.savefig(path, dpi=100)
    print("plot written to %s" % path)


def main():
    parser = arguments(__doc__)
    parser.add_argument("--plot", metavar="FILE", help="write the sampled path as a PNG (needs matplotlib)")
    options = parser.parse_args()
    samples = []
    with module_for(options), velkor.Card(options.card, slot=options.slot) as card:
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
        print("after the path: X %d, Y %d (%d samples)" % (samples[-1][1], samples[-1][2], len(samples)))
    if options.plot:
        plot(samples, options.plot)
    return 0 if samples[-1][1:] == (0, 0) else 1


if __name__ == "__main__":
    sys.exit(main())
