"""The virtual module from Python: a module that plays the firmware in a slot
of the virtual backplane, through its C API (``velkor_sim.h``).

    with velkor.VirtualModule(slot=3, clock="manual") as module:
        with velkor.Card(0, slot=3, module=module) as card:
            card.axis(1).move(5000)
            module.advance_until_stopped(velkor.Axes.X, limit=10)
        print(module.counters())

Axes are numbered 1 to 4 here, as in ``Card.axis``; axis masks are the bus's
selectors (``Axes.X | Axes.Y``). Times are simulated seconds.

Every C call of the module's header is declared from the generated table
(``_sim_exports``) and reachable by its name without the prefix, with the
module's handle first: ``module.PacketsTaken()`` calls
``VelkorSim_PacketsTaken(handle)``. A call the loaded library does not have
raises ``ModuleError`` naming it.
"""

import ctypes
import math
import numbers
import os
import threading

from . import _sim_exports, finding, raw
from .bits import InterruptFactor
from .checks import CheckedCall, set_fields
from .errors import ModuleError

_PREFIX = "VelkorSim_"
_lock = threading.Lock()
_library = None

CLOCKS = {"manual": "VELKOR_SIM_CLOCK_MANUAL", "real_time": "VELKOR_SIM_CLOCK_REAL_TIME",
          "fast": "VELKOR_SIM_CLOCK_FAST"}
TRIGGERS = {None: "VELKOR_SIM_TRIGGER_NONE", "position": "VELKOR_SIM_TRIGGER_POSITION",
            "input_edge": "VELKOR_SIM_TRIGGER_INPUT_EDGE", "drive_start": "VELKOR_SIM_TRIGGER_DRIVE_START",
            "path_start": "VELKOR_SIM_TRIGGER_PATH_START"}
EDGES = {"rising": "VELKOR_SIM_EDGE_RISING", "falling": "VELKOR_SIM_EDGE_FALLING",
         "either": "VELKOR_SIM_EDGE_EITHER"}
# Samples, trail points and log entries moved per C call.
_CHUNK = 4096


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


def _index(axis):
    """The C API's axis index (0..3) of an axis number 1..4."""
    if isinstance(axis, bool) or not isinstance(axis, int) or not 1 <= axis <= 4:
        raise ValueError("an axis number is 1 to 4, not %r" % (axis,))
    return axis - 1


def _microseconds(seconds):
    if isinstance(seconds, bool) or not isinstance(seconds, numbers.Real):
        raise TypeError("a time is a number of seconds, not %r" % (seconds,))
    if not (seconds >= 0 and math.isfinite(seconds)):
        raise ValueError("a time is a finite number of seconds, not negative: %r" % (seconds,))
    return int(round(seconds * 1e6))


def numpy_or_none():
    try:
        import numpy
    except ImportError:
        return None
    return numpy


class VirtualModule:
    """A virtual module plugged into ``slot`` (1..7); unplugged by
    ``unplug()`` or at the end of a ``with`` block.

    ``clock="real_time"`` (the default) runs ``time_scale`` times faster than
    real time; ``clock="manual"`` moves only in ``advance`` and
    ``advance_until_stopped`` (a ``Card`` given the module, ``Card(...,
    module=module)``, advances it while it waits); ``clock="fast"`` runs
    ``time_scale`` times faster than real time while the program commands and
    up to ``sprint_scale`` times while it only polls or waits for an
    interrupt. The other options are the module's:
    ``id`` ('D' or 'U'), ``keep_trail``, ``keep_log``, ``take_latency`` and
    ``step`` (seconds), ``firmware_version``."""

    def __init__(self, slot=3, time_scale=1.0, *, clock="real_time", id="D", keep_trail=False, keep_log=False,
                 take_latency=0.0, step=0.001, firmware_version=None, sprint_scale=None, library=None):
        self.library = library if library is not None else load_library()
        self.handle = None
        self._calls = {}
        if isinstance(slot, bool) or not isinstance(slot, int) or not 1 <= slot <= 7:
            raise ModuleError("a virtual module goes into a slot 1 to 7, not %r" % (slot,))
        if clock not in CLOCKS:
            raise ModuleError("the clock is one of %s, not %r" % (", ".join(CLOCKS), clock))
        if not time_scale > 0:
            raise ModuleError("the time scale must be above 0, not %r" % (time_scale,))
        if sprint_scale is not None and not (clock == "fast" and sprint_scale >= time_scale):
            raise ModuleError("a sprint scale is for the fast clock, at least the time scale %r, not %r"
                              % (time_scale, sprint_scale))
        self.slot, self.time_scale, self.clock = slot, float(time_scale), clock
        plain = (clock == "real_time" and id == "D" and not keep_trail and not keep_log and take_latency == 0
                 and step == 0.001 and firmware_version is None)
        if plain:
            self.handle = self.library.VelkorSim_Plug(slot, self.time_scale)
        else:
            options = self._struct("VelkorSimOptions")
            self._function("DefaultOptions")(ctypes.byref(options))
            if isinstance(id, str) and len(id) != 1:
                raise ModuleError("the module ID is one character or byte, not %r" % (id,))
            fields = {"id": ord(id) if isinstance(id, str) else id, "clock": self._constant(CLOCKS[clock]),
                      "time_scale": self.time_scale, "keep_trail": int(bool(keep_trail)),
                      "keep_log": int(bool(keep_log)), "take_latency_us": _microseconds(take_latency),
                      "step_us": _microseconds(step)}
            if firmware_version is not None:
                fields["firmware_version"] = firmware_version
            if sprint_scale is not None:
                fields["sprint_scale"] = float(sprint_scale)
            set_fields(options, fields, "VirtualModule")
            handle = self._function("Create")(ctypes.byref(options))
            if not handle:
                raise ModuleError("the virtual module refused its options (id %r, step %r s)" % (id, step))
            if not self._function("PlugInto")(handle, slot):
                self.library.VelkorSim_Unplug(handle)
                raise ModuleError("the virtual module could not be plugged into slot %d" % slot)
            self.handle = handle
        if not self.handle:
            raise ModuleError("the virtual module could not be plugged into slot %d" % slot)

    def __repr__(self):
        state = "slot %d" % self.slot if self.handle else "unplugged"
        return "VirtualModule(%s, clock=%s)" % (state, self.clock)

    # ---- plumbing
    def _function(self, name):
        full = _PREFIX + name
        if full not in self.library.signatures:
            raise ModuleError("the virtual module's library (%s) has no %s" % (self.library.path, full))
        return getattr(self.library, full)

    def _struct(self, name):
        if name not in self.library.structs:
            raise ModuleError("the virtual module's library has no structure %s" % name)
        return self.library.structs[name]()

    def _constant(self, name):
        if name not in self.library.constants:
            raise ModuleError("the virtual module's header has no constant %s" % name)
        return self.library.constants[name]

    def has(self, name):
        """Whether the loaded library has C function ``name`` (prefix optional)."""
        return (name if name.startswith(_PREFIX) else _PREFIX + name) in self.library.signatures

    def call(self, name, *args):
        """Calls C function ``name`` (with or without the VelkorSim_ prefix),
        the module's handle first when the function takes one."""
        full = name if name.startswith(_PREFIX) else _PREFIX + name
        signature = self.library.signatures.get(full)
        if signature is None:
            raise ModuleError("the virtual module's library (%s) has no %s" % (self.library.path, full))
        # Integers checked against their C types, arrays against the counts
        # given, as Card's calls are.
        function = self._calls.get(full)
        if function is None:
            function = self._calls[full] = CheckedCall(self.library, full)
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

    # ---- clock and mailbox
    @property
    def manual(self):
        return self.clock == "manual"

    def advance(self, seconds):
        """Manual clock: lets the firmware take what waits, then runs the
        motion for ``seconds`` of simulated time."""
        self.call("Advance", _microseconds(seconds))

    def advance_until_stopped(self, axes, limit=60.0):
        """Manual clock: advances until none of the axes (a selector) is
        driving, at most ``limit`` seconds; whether they all stopped."""
        return self.call("AdvanceUntilStopped", axes, _microseconds(limit)) == 1

    @property
    def now(self):
        """Simulated seconds since the module was made."""
        return self.call("Now")

    def set_busy(self, busy):
        self.call("SetBusy", 1 if busy else 0)

    def set_take_latency(self, seconds):
        self.call("SetTakeLatency", _microseconds(seconds))

    def wait_settled(self):
        self.call("WaitSettled")

    # ---- axes, inputs, outputs, stores
    def axis(self, number):
        """The state of axis ``number`` (1..4) as a dict: lp, ep, speed,
        acceleration, driving, error_code, inputs, machine (the machine
        position the axis is at, where LP is now: a switch at LP p sits at
        machine position p - lp + machine), motor, following_error (LP minus
        the motor), latch, outputs."""
        status = self._struct("VelkorSimAxis")
        self.call("GetAxisSized", _index(number), ctypes.byref(status), ctypes.sizeof(status))
        return status.as_dict()

    def machine(self, axis):
        """The machine around axis ``number`` (1..4) as a dict: where its
        switches sit and how its drive and encoder behave (natural_frequency,
        damping, dead_time, backlash, encoder_noise, noise_seed,
        following_limit: the drive model of docs/virtual-module.md)."""
        machine = self._struct("VelkorSimMachineAxis")
        if self.call("GetMachineSized", _index(axis), ctypes.byref(machine), ctypes.sizeof(machine)) != 1:
            raise ModuleError("the module has no machine for axis %r" % (axis,))
        return machine.as_dict()

    def set_machine(self, axis, **fields):
        """Changes the named fields of the machine around the axis (the
        others stay): ``set_machine(1, home_from=-10, home_to=10)``."""
        machine = self._struct("VelkorSimMachineAxis")
        self.call("GetMachineSized", _index(axis), ctypes.byref(machine), ctypes.sizeof(machine))
        set_fields(machine, fields, "set_machine")
        if self.call("SetMachineSized", _index(axis), ctypes.byref(machine), ctypes.sizeof(machine)) != 1:
            raise ModuleError("the module refused the machine for axis %r" % (axis,))

    def set_drive_alarm(self, axis, on=True):
        self.call("SetDriveAlarm", _index(axis), 1 if on else 0)

    def press_jog(self, axis, direction):
        """The axis's jog button pressed towards +1 or -1, or released (0)."""
        self.call("PressJog", _index(axis), (direction > 0) - (direction < 0))

    def turn_handwheel(self, axis, counts):
        self.call("TurnHandwheel", _index(axis), counts)

    def set_inputs(self, axis, word):
        self.call("SetInputs", _index(axis), word)

    def set_latch(self, axis, value):
        self.call("SetLatch", _index(axis), value)

    def set_remote_input(self, port, word):
        self.call("SetRemoteInput", port, word)

    def remote_output(self, port):
        return self.call("RemoteOutput", port)

    def raise_interrupt(self, factors=InterruptFactor.DRIVE_END):
        self.call("RaiseInterrupt", factors)

    def byte_variable(self, index):
        return self.call("ByteVariable", index)

    def long_variable(self, index):
        return self.call("LongVariable", index)

    def md_word(self, index):
        """An MD entry's raw 32 bits."""
        return self.call("MdWord", index)

    def macro_program_steps(self, program):
        return self.call("MacroProgramSteps", program)

    def set_firmware_version(self, version):
        self.call("SetFirmwareVersion", version)

    # ---- counters and what the module could not use
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
        """The module's counters as a dict (all of them where the library
        has VelkorSim_GetCounters, else the three packet counters)."""
        if self.has("GetCounters"):
            counters = self._struct("VelkorSimCounters")
            self.call("GetCounters", ctypes.byref(counters))
            return counters.as_dict()
        return {"packets_taken": self.packets_taken, "sequence_gaps": self.sequence_gaps,
                "dropped_packets": self.dropped_packets}

    def code_name(self, code):
        return self.call("CodeName", code).decode()

    def unsimulated(self):
        """The commands the module took without using them: {name: count}."""
        count = self.call("Unsimulated", None, 0)
        entries = (self.library.structs["VelkorSimCodeCount"] * max(count, 1))()
        count = min(count, self.call("Unsimulated", entries, count))
        return {self.code_name(entry.code): entry.count for entry in entries[:count]}

    # ---- trail, log and scope
    def _drain(self, function, struct, sized=False):
        """Takes every item waiting; a sized take is also given the size of
        one item, as its structure is laid out here."""
        items = []
        chunk = (self.library.structs[struct] * _CHUNK)()
        sizes = (ctypes.sizeof(chunk[0]),) if sized else ()
        while True:
            count = self.call(function, chunk, _CHUNK, *sizes)
            items += [type(chunk[0]).from_buffer_copy(chunk[i]) for i in range(count)]
            if count < _CHUNK:
                return items

    def take_trail(self):
        """The positions driven since the last call (keep_trail): a list of
        (time, (lp1, lp2, lp3, lp4))."""
        return [(point.time, tuple(point.lp)) for point in self._drain("TakeTrail", "VelkorSimTrailPoint")]

    def take_log(self):
        """Every packet taken and exchange answered since the last call
        (keep_log), each as the line that describes it."""
        lines = []
        text = ctypes.create_string_buffer(256)
        for entry in self._drain("TakeLog", "VelkorSimLogEntry"):
            length = self.call("DescribeLogEntry", ctypes.byref(entry), text, len(text))
            if length >= len(text):
                text = ctypes.create_string_buffer(length + 1)
                self.call("DescribeLogEntry", ctypes.byref(entry), text, len(text))
            lines.append(text.value.decode())
        return lines

    def start_scope(self, period=0.001, duration=0.0, capacity=None, pretrigger=0, trigger=None, axis=1,
                    position=0, input=0, edge="rising", axes=0xF):
        """Starts (or restarts) a capture of every axis's LP, EP, speed and
        inputs each ``period`` seconds, for ``duration`` seconds from the
        trigger (0: until stopped). ``trigger``: None (at once),
        ``"position"`` (LP of ``axis`` crosses ``position``), ``"input_edge"``
        (bit ``input`` of ``axis``'s inputs, ``edge`` rising, falling or
        either), ``"drive_start"`` (an axis of the selector ``axes``) or
        ``"path_start"`` (a path starts while none runs)."""
        if trigger not in TRIGGERS or edge not in EDGES:
            raise ValueError("trigger is one of %s and edge one of %s" % (list(TRIGGERS), list(EDGES)))
        settings = self._struct("VelkorSimScopeSettings")
        self.call("DefaultScopeSettings", ctypes.byref(settings))
        fields = {"period": period, "duration": duration, "pretrigger": pretrigger,
                  "trigger_kind": self._constant(TRIGGERS[trigger]), "trigger_axis": _index(axis),
                  "trigger_input": input, "trigger_edge": self._constant(EDGES[edge]), "trigger_axes": axes,
                  "trigger_position": position}
        if capacity is not None:
            fields["capacity"] = capacity
        set_fields(settings, fields, "start_scope")
        if self.call("StartScope", ctypes.byref(settings)) != 1:
            raise ModuleError("the scope refused its settings (period %r, capacity %r)" % (period, capacity))

    def stop_scope(self):
        self.call("StopScope")

    def scope_state(self):
        state = self._struct("VelkorSimScopeState")
        self.call("GetScopeState", ctypes.byref(state))
        return state.as_dict()

    def take_scope(self, numpy=None):
        """The samples waiting, as columns: ``time`` and ``path_speed``, and
        ``lp``, ``ep``, ``speed``, ``inputs``, ``velocity`` (signed),
        ``acceleration``, ``following_error``, ``outputs``, ``latch`` with one
        column per axis (``lp[0]`` is axis 1).
        Lists, or numpy arrays (``time`` of shape (n,), the others (4, n))
        when numpy is installed, or as ``numpy`` (True/False) asks."""
        samples = self._drain("TakeScopeSized", "VelkorSimScopeSample", sized=True)
        columns = {"time": [s.time for s in samples], "path_speed": [s.path_speed for s in samples]}
        for field in ("lp", "ep", "speed", "inputs", "velocity", "acceleration", "following_error", "outputs",
                      "latch"):
            columns[field] = [[getattr(s.axes[i], field) for s in samples] for i in range(4)]
        module = numpy_or_none() if numpy is not False else None
        if numpy and module is None:
            raise ModuleError("numpy is not installed")
        if module is not None:
            return {name: module.asarray(values) for name, values in columns.items()}
        return columns

    def write_scope_csv(self, path):
        """Takes every sample waiting into a CSV file; returns how many."""
        written = self.call("WriteScopeCsv", self.slot, os.fsencode(path))
        if written < 0:
            raise OSError("the scope file %s cannot be written" % path)
        return written



def start_monitor(path):
    """Opens this process's monitor endpoint at ``path`` for every virtual
    module plugged, now and later (docs/monitor.md); ``velkor.monitor``
    connects to it from another process. On Linux the folder of ``path``
    must belong to you and be writable by nobody else."""
    library = load_library()
    if not library.VelkorSim_StartMonitor(str(path).encode()):
        raise ModuleError("the monitor cannot be opened at %s (the reason is on stderr)" % (path,))


def stop_monitor():
    """Closes the monitor endpoint, if one is open."""
    load_library().VelkorSim_StopMonitor()
