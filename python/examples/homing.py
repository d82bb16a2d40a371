#!/usr/bin/env python3
"""A homing sequence: the homing speed, search range and mode, start, wait
until the axis has come to rest on home, then a move away from home by a
known distance."""

import sys

from _setup import arguments, module_for, velkor

HOME_SPEED = 5000           # pulses/s while searching
SEARCH_RANGE = 20           # thousands of pulses; a longer search fails
# The position the axis takes at home.
HOME_OFFSET = 100


def main():
    options = arguments(__doc__).parse_args()
    with module_for(options), velkor.Card(options.card, slot=options.slot) as card:
        z = card.axis(3)
        z.profile(sv=100, v=10000, a=50000)
        card.HOME_LIMIT(z.mask, SEARCH_RANGE)
        # The home switch, searched towards -, creeping at 10 % of the homing
        # speed; both counters set to the offset at home. Returns at once.
        z.home(speed=HOME_SPEED, mode="home_switch", direction=-1, creep=10, keep_encoder=False,
               offset=HOME_OFFSET)
        z.wait_stopped(timeout=60)
        print("homed: position %d, error code %s" % (z.position, z.error_code))
        if z.position != HOME_OFFSET or z.error_code:
            return 1
        z.move(2500).wait_stopped(timeout=30)
        print("moved away from home to %d" % z.position)
        return 0 if z.position == HOME_OFFSET + 2500 and not card.error else 1


if __name__ == "__main__":
    sys.exit(main())
