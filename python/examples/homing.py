#!/usr/bin/env python3
"""A homing sequence: the homing speed and mode, start, wait until the axis
has come to rest, then a move away from home by a known distance."""

import sys

from _setup import arguments, module_for, velkor

HOME_SPEED = 5000
# Home mode: the four setting bytes the module defines for its search, and the
# position the axis takes at home.
HOME_MODE = (1, 0, 0, 0, 0)


def main():
    options = arguments(__doc__).parse_args()
    with module_for(options), velkor.Card(options.card, slot=options.slot) as card:
        z = card.axis(3)
        z.profile(sv=100, v=10000, a=50000)
        card.call("Velkor_HOME_LIMIT", z.mask, 1)
        z.home(speed=HOME_SPEED, mode=HOME_MODE)   # returns at once
        z.wait_stopped(timeout=60)
        home = z.position
        print("homed: position %d, error code %s" % (home, z.error_code))
        z.move(2500).wait_stopped(timeout=30)
        print("moved away from home to %d" % z.position)
        return 0 if z.position == home + 2500 and not card.error else 1


if __name__ == "__main__":
    sys.exit(main())
