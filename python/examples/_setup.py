"""What every example shares: the package from this source tree, and a
virtual module in the slot unless --hardware says a controller has one."""

import argparse
import contextlib
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))

import velkor  # noqa: E402


def arguments(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--slot", type=int, default=3, help="backplane slot of the module (1..7)")
    parser.add_argument("--card", type=int, default=0, help="card number to register it under (0..7)")
    parser.add_argument("--hardware", action="store_true", help="use the module in the slot; plug no virtual one")
    parser.add_argument("--time-scale", type=float, default=20.0, help="virtual module: clock speed-up")
    return parser


@contextlib.contextmanager
def module_for(options):
    """A virtual module in the slot (the one thing a controller does not need)."""
    if options.hardware:
        yield None
    else:
        with velkor.VirtualModule(options.slot, options.time_scale) as module:
            yield module
