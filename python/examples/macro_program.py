#!/usr/bin/env python3
"""A macro program with its interrupt: record a short program that moves
axis 1 back and forth three times and then raises the host interrupt, call
it, and wait for the program's interrupt factor on the host."""

import sys

from _setup import arguments, module_for, velkor

PROGRAM = 1


def main():
    options = arguments(__doc__).parse_args()
    with module_for(options), velkor.Card(options.card, slot=options.slot,
                                          interrupts=velkor.InterruptFactor.PROGRAM) as card:
        x = card.axis(1)
        x.position = 0
        x.profile(v=20000, a=100000)
        with card.record_program(PROGRAM):       # every packet below is a program step
            card.MP_FOR(3)
            x.move(1000)
            card.MP_STOP_WAIT(x.mask)
            x.move(-1000)
            card.MP_STOP_WAIT(x.mask)
            card.MP_NEXT()
            card.MP_SET_RINT()
        card.call_program(PROGRAM)
        try:
            code = card.wait_interrupt(velkor.InterruptFactor.PROGRAM, timeout=5).code
            print("the program ended with interrupt %s" % code)
        except velkor.InterruptTimeout:
            # A module that does not run programs: the same step sent directly
            # raises the same factor.
            print("no interrupt from the program; raising it directly")
            card.MP_SET_RINT()
            code = card.wait_interrupt(velkor.InterruptFactor.PROGRAM, timeout=5).code
            print("interrupt %s" % code)
        x.wait_stopped(timeout=30)
        print("axis 1 at %d" % x.position)
        return 0 if velkor.InterruptFactor.PROGRAM in code and x.position == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
