#!/usr/bin/env python3
"""The README's fixed move: register the card, give axis 1 a speed profile,
move it by 5000 pulses, wait until it has stopped and read the position."""

import sys

from _setup import arguments, module_for, velkor


def main():
    options = arguments(__doc__).parse_args()
    with module_for(options), velkor.Card(options.card, slot=options.slot) as card:
        x = card.axis(1)
        x.position = 0
        x.profile(v=20000, a=100000)          # 20000 pulses/s, 100000 pulses/s^2
        x.move(5000)                          # returns at once
        while not x.stopped:
            print("X %6d  speed %6d" % (x.position, x.speed))
        print("stopped at %d" % x.position)
        return 0 if x.position == 5000 and not card.error else 1


if __name__ == "__main__":
    sys.exit(main())
