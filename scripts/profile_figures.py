#!/usr/bin/env python3
"""Draws the figures of the manual's speed profiles (docs/profiles/*.svg):
each profile runs on a virtual module on the manual clock, its scope goes to
a CSV, and `velkor plot` draws it.

usage: PYTHONPATH=build/plain python3 scripts/profile_figures.py build/plain/tools/velkor docs/profiles
"""

import subprocess
import sys
import tempfile
from pathlib import Path

import velkor


def move(card, module, distances, sv, v, a, d=0, k=0, l=0, ao=0, constant=0):
    card.SET_SV(1, sv)
    card.SET_V(1, v)
    card.SET_A(1, a)
    card.SET_D(1, d)
    card.SET_K(1, k)
    card.SET_L(1, l)
    card.SET_AO(1, ao)
    card.NORMAL_SPEED(1, constant)
    for distance in distances:
        card.FIXED_MOVE(1, distance)
        module.advance_until_stopped(1, 60)


def slow_stop(card, module):
    card.SET_SV(1, 100)
    card.SET_V(1, 10000)
    card.SET_A(1, 100000)
    card.SET_D(1, 20000)
    card.CONTINUE_MOVE(1, 1)
    module.advance(0.4)
    card.STOP_SLOWLY(1)
    module.advance_until_stopped(1, 60)


def path(card, module):
    card.SET_VSV(100)
    card.SET_VV(20000)
    card.SET_VA(200000)
    card.SET_VK(2000000)
    card.LINE_2D(12000, -9000)
    module.advance_until_stopped(3, 60)


FIGURES = {
    "trapezoid": lambda c, m: move(c, m, [20000], 500, 20000, 100000),
    "triangle": lambda c, m: move(c, m, [2000], 500, 40000, 200000),
    "s-curve": lambda c, m: move(c, m, [40000], 100, 40000, 200000, k=4000000, l=1000000),
    "s-curve-short": lambda c, m: move(c, m, [2000], 100, 40000, 200000, k=4000000),
    "braking-offset": lambda c, m: move(c, m, [10000], 200, 20000, 100000, ao=100) or m.advance(0.1) or
    move(c, m, [-10000], 200, 20000, 100000, ao=-500),
    "constant-speed": lambda c, m: move(c, m, [5000], 100, 10000, 100000, constant=1),
    "slow-stop": slow_stop,
    "path": path,
}


def main():
    tool, out = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        for name, run in FIGURES.items():
            with velkor.VirtualModule(slot=3, clock="manual") as module:
                with velkor.Card(0, slot=3, module=module) as card:
                    module.start_scope(capacity=65536)
                    run(card, module)
                    csv = Path(folder) / (name + ".csv")
                    module.write_scope_csv(csv)
            subprocess.run([str(tool), "plot", csv.name, "--svg", str(out / (name + ".svg")), "--channels",
                            "lp,speed"], cwd=folder, check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
