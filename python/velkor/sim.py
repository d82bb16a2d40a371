"""The virtual module from Python: a module that plays the firmware in a slot
of the virtual backplane, through its C API (``velkor_sim.h``).

    with velkor.VirtualModule(slot=3, time_scale=20) as module:
        with velkor.Card(0, slot=3) as card:
            ...
        assert module.sequence_gaps == 0

Every C call of the module's header is declared from the generated table
(``_sim_exports``) and reachable by its name without the prefix, with the
module's handle first: ``module.PacketsTaken()`` calls
``VelkorSim_PacketsTaken(handle)``.
"""

import threading

from . import _sim_exports, finding, raw
from .errors import ModuleError

_PREFIX = "VelkorSim_"
_lock = threading.Lock()
_library = None


def load_library():
    """The virtual module's library, loaded and declared on first use (after
    the slot-bus library, which it plugs into)."""
    global _library
    with _lock:
        if _library is None:
            raw.load_slot_bus()
            _library = raw.Exports(finding.find("velkor_sim"), _sim_exports)
        return _library


def _takes_handle(params):
    return bool(params) and params[0][1].replace("const ", "") == "VelkorSimModule*"


class VirtualModule:
    """A virtual module plugged into ``slot`` (1..7) on the real-time clock,
    ``time_scale`` times faster than real time. Unplugged by ``unplug()`` or
    at the end of a ``with`` block."""

    def __init__(self, slot=3, time_scale=1.0, *, library=None):
        self.library = library if library is not None else load_library()
        self.slot = slot
        self.time_scale = float(time_scale)
        if not 1 <= slot <= 7:
            raise ModuleError("a virtual module goes into a slot 1 to 7, not %r" % (slot,))
        if self.time_scale <= 0:
            raise ModuleError("the time scale must be above 0, not %r" % (time_scale,))
        self.handle = self.library.VelkorSim_Plug(slot, self.time_scale)
        if not self.handle:
            raise ModuleError("the virtual module could not be plugged into slot %d" % slot)

    def __repr__(self):
        state = "slot %d" % self.slot if self.handle else "unplugged"
        return "VirtualModule(%s, time_scale=%g)" % (state, self.time_scale)

    @property
    def plugged(self):
        return bool(self.handle)

    def unplug(self):
        """Unplugs the module and ends its firmware; safe to call twice."""
        handle, self.handle = self.handle, None
        if handle:
            self.library.VelkorSim_Unplug(handle)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.unplug()
        return False

    def call(self, name, *args):
        """Calls C function ``name`` (with or without the VelkorSim_ prefix),
        the module's handle first when the function takes one."""
        full = name if name.startswith(_PREFIX) else _PREFIX + name
        signature = self.library.signatures.get(full)
        if signature is None:
            raise AttributeError("the virtual module's library has no function %s" % full)
        function = getattr(self.library, full)
        if _takes_handle(signature[1]):
            if not self.handle:
                raise ModuleError("the module is unplugged")
            return function(self.handle, *args)
        return function(*args)

    def __getattr__(self, name):
        library = self.__dict__.get("library")
        if library is None or name.startswith("_") or _PREFIX + name not in library.signatures:
            raise AttributeError("%r has no attribute %r" % (type(self).__name__, name))
        return lambda *args: self.call(name, *args)

    # ---- counters
    @property
    def packets_taken(self):
        return self.call("PacketsTaken")

    @property
    def sequence_gaps(self):
        return self.call("SequenceGaps")

    @property
    def dropped_packets(self):
        return self.call("DroppedPackets")

    def counters(self):
        """The packet counters as a dict."""
        return {"packets_taken": self.packets_taken, "sequence_gaps": self.sequence_gaps,
                "dropped_packets": self.dropped_packets}
