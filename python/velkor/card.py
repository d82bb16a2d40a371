"""The Pythonic layer: a card, its axes, paths, interrupts and macro programs.

Every method is one or a few exports called with the values given: nothing
here changes what goes to the module. What it adds is on the host side:
range checks before a value is cut to its C type, exceptions for refusals and
time-outs, waits with a time limit, and tidy-up when a ``with`` block ends.

    with velkor.Card(0, slot=3) as card:
        x = card.axis(1)
        x.profile(sv=200, v=20000, a=100000)
        x.move(5000)
        x.wait_stopped(timeout=5)
        assert x.position == 5000

The raw exports stay available, bound to the card: ``card.SET_V(1, 20000)``
calls ``Velkor_SET_V(card.number, 1, 20000)``.
"""

import contextlib
import ctypes
import time
from collections import namedtuple

from . import raw
from .bits import ARC_DEGENERATE, Axes, ErrorBits, Inputs, InterruptFactor, axis_mask
from .checks import CheckedCall, check_integer as _check_integer, check_timeout
from .errors import (ArcDegenerate, CardClosed, InterruptServiceError, InterruptTimeout, MotionTimeout,
                     RegistrationError, VelkorError)

# Every axis of the module, the selector of tidy-up stops.
ALL_AXES = int(Axes.ALL)
# The longest single Velkor_RINT_WAIT of a wait with a time limit, so that a
# script stays interruptible (Ctrl-C) during long waits.
_WAIT_SLICE_MS = 100
# Simulated time a wait for an interrupt advances a manual clock per pass.
_MANUAL_STEP_MS = 10


def _point(value, what):
    """A POINT_3D from a POINT_3D or three integers."""
    if isinstance(value, raw.POINT_3D):
        return value
    try:
        x, y, z = value
    except (TypeError, ValueError):
        raise TypeError("%s must be three integers (x, y, z), not %r" % (what, value)) from None
    return raw.POINT_3D(*(_check_integer(c, "int32_t", what + "." + n, "point") for c, n in zip((x, y, z), "xyz")))


def _selector(axes):
    """An axis selector from an Axis, a group, an Axes flag or an int mask."""
    if isinstance(axes, Axis):
        return axes.mask
    return _check_integer(int(axes) if isinstance(axes, Axes) else axes, "uint8_t", "axes", "selector")


# The homing sequences of Velkor_SET_HOME_MODE's mode byte, by name.
HOME_SEQUENCES = {"home_switch": 0, "home_switch_then_index": 1, "limit_switch": 2, "index": 3}
# The module's own settings, sent for the homing values not given.
_HOME_DEFAULTS = {"mode": 0, "direction": -1, "creep": 10, "keep_encoder": False, "offset": 0}


def _home_mode(mode, direction, creep, keep_encoder, offset):
    """The five values of Velkor_SET_HOME_MODE, checked."""
    where = "Axis.home"
    if isinstance(mode, str):
        if mode not in HOME_SEQUENCES:
            raise ValueError("%s: mode is one of %s (or 0..3), not %r" % (where, ", ".join(HOME_SEQUENCES), mode))
        mode = HOME_SEQUENCES[mode]
    elif isinstance(mode, bool) or not isinstance(mode, int) or not 0 <= mode <= 3:
        raise ValueError("%s: mode is the homing sequence 0..3 or one of %s, not %r (give direction, creep, "
                         "keep_encoder and offset by name)" % (where, ", ".join(HOME_SEQUENCES), mode))
    if isinstance(direction, bool) or direction not in (-1, 1):
        raise ValueError("%s: direction is -1 (search towards -) or 1 (towards +), not %r" % (where, direction))
    creep = _check_integer(creep, "uint8_t", "creep", where)
    if creep > 100:
        raise ValueError("%s: creep is 0..100 (percent of the homing speed; 0: 10 %%), not %d" % (where, creep))
    if not isinstance(keep_encoder, bool):
        raise TypeError("%s: keep_encoder is True or False, not %r" % (where, keep_encoder))
    return mode, 1 if direction > 0 else 0, creep, int(keep_encoder), _check_integer(offset, "int32_t", "offset", where)


class Interrupt(namedtuple("Interrupt", "factor code")):
    """What ``Card.wait_interrupt`` returns: ``factor``, the flag it
    consumed (one InterruptFactor bit of the mask), and ``code``, the last
    interrupt code the card's service read from the module (the factors of
    the latest interrupt, which need not be the one that set ``factor``)."""

    __slots__ = ()


class ArcPlan(namedtuple("ArcPlan", "result time_ms speed_limit")):
    """What an arc function returned: ``time_ms`` for its chords at the speed
    given, or, when a chord would take under 0.2 ms, ``speed_limit`` (the
    highest speed at which it does not) with ``time_ms`` None. The chords
    were sent in both cases."""

    __slots__ = ()

    @classmethod
    def from_result(cls, result):
        if result == ARC_DEGENERATE:
            raise ArcDegenerate("the arc cannot be planned (collinear or coinciding points, a tolerance of 0 or "
                                "above twice the radius, speed 0, or too many chords); nothing was sent")
        if result < 0:
            return cls(result, None, -result)
        return cls(result, result, None)

    @property
    def too_fast(self):
        return self.speed_limit is not None


class Axis:
    """One axis of a card, or several at once (their selector's bits). A read
    on several axes answers for the lowest one."""

    def __init__(self, card, mask):
        self.card = card
        self.mask = _selector(mask)

    def __repr__(self):
        return "Axis(card=%d, mask=%s)" % (self.card.number, Axes(self.mask))

    def _call(self, name, *args):
        return self.card.call(name, self.mask, *args)

    # ---- speed profile and moves
    def profile(self, sv=None, v=None, a=None, d=None, max_v=None):
        """Sets the given parts of the speed profile (start speed, drive speed,
        acceleration, deceleration, ceiling of V), in that order."""
        for name, value in (("SET_MAX_V", max_v), ("SET_SV", sv), ("SET_V", v), ("SET_A", a), ("SET_D", d)):
            if value is not None:
                self._call("Velkor_" + name, value)
        return self

    def move(self, distance):
        """Starts a move by the signed distance in pulses; returns at once."""
        self._call("Velkor_FIXED_MOVE", distance)
        return self

    def move_to(self, target):
        """Starts a move to the absolute position, by the distance from the LP
        counter now."""
        return self.move(target - self.position)

    def jog(self, direction=1):
        """Drives at V until stopped, forward for a direction >= 0."""
        self._call("Velkor_CONTINUE_MOVE", 1 if direction >= 0 else -1)
        return self

    def stop(self, suddenly=False):
        self.card.stop(self.mask, suddenly=suddenly)
        return self

    @property
    def stopped(self):
        return self.card.stopped(self.mask)

    def wait_stopped(self, timeout=30.0):
        self.card.wait_stopped(self.mask, timeout=timeout)
        return self

    # ---- counters and status
    @property
    def position(self):
        return self._call("Velkor_GET_LP")

    @position.setter
    def position(self, value):
        self._call("Velkor_SET_LP", value)

    @property
    def encoder(self):
        return self._call("Velkor_GET_EP")

    @encoder.setter
    def encoder(self, value):
        self._call("Velkor_SET_EP", value)

    @property
    def speed(self):
        return self._call("Velkor_GET_CV")

    @property
    def acceleration(self):
        return self._call("Velkor_GET_CA")

    @property
    def inputs(self):
        """The input word as Inputs bits (the virtual module's meanings)."""
        return Inputs(self._call("Velkor_GET_DI_ALL"))

    def input(self, bit):
        return self._call("Velkor_GET_DI", bit)

    @property
    def error_code(self):
        return ErrorBits(self._call("Velkor_GET_ERROR_CODE"))

    @property
    def latch(self):
        return self._call("Velkor_GET_LATCH")

    # ---- configuration and homing
    def soft_limits(self, plus, minus, mode=0):
        self._call("Velkor_SET_SLMT", plus, minus, mode)
        return self

    def clear_soft_limits(self):
        self._call("Velkor_CLEAR_SLMT")
        return self

    def servo(self, on=True):
        self._call("Velkor_SERVO_ON" if on else "Velkor_SERVO_OFF")
        return self

    def home(self, speed=None, mode=None, *, direction=None, creep=None, keep_encoder=None, offset=None):
        """Starts homing (HOME_START); returns at once. ``speed``: the search
        speed (SET_HV first). ``mode``: the sequence, 0..3 or its name
        (HOME_SEQUENCES: "home_switch", "home_switch_then_index",
        "limit_switch", "index"); ``direction``: -1 searches towards -, 1
        towards +; ``creep``: the creep speed in percent of the search speed
        (0..100; 0: 10 %); ``keep_encoder``: True sets LP alone at home (EP
        counts on); ``offset``: the position at home. When any of these five
        is given, SET_HOME_MODE sends all five, the others at the module's
        defaults (home_switch, -1, 10, False, 0); when none is, the axis
        keeps its home mode."""
        values = {"mode": mode, "direction": direction, "creep": creep, "keep_encoder": keep_encoder,
                  "offset": offset}
        if any(value is not None for value in values.values()):
            setting = _home_mode(**{name: _HOME_DEFAULTS[name] if value is None else value
                                    for name, value in values.items()})
        else:
            setting = None
        if speed is not None:
            self._call("Velkor_SET_HV", speed)
        if setting is not None:
            self._call("Velkor_SET_HOME_MODE", *setting)
        self._call("Velkor_HOME_START")
        return self


class LinePath:
    """A continuous path of straight segments over two or three axes, opened
    by ``Card.line_path``; each ``segment`` is relative to the last."""

    def __init__(self, card, dimensions):
        self.card = card
        self.dimensions = dimensions
        self.ended = False

    def segment(self, *displacement, end=False):
        if len(displacement) != self.dimensions:
            raise TypeError("a segment of this path has %d displacements" % self.dimensions)
        name = "Velkor_LINE_2D_CONTINUE" if self.dimensions == 2 else "Velkor_LINE_3D_CONTINUE"
        self.card.call(name, 1 if end else 0, *displacement)
        self.ended = self.ended or bool(end)
        return self

    def end(self):
        """Ends the path after the segments it has (INTP_END)."""
        self.card.call("Velkor_INTP_END", 0)
        self.ended = True


class MixPath:
    """A three-dimensional path of lines and arcs, opened by ``Card.mix_path``."""

    def __init__(self, card):
        self.card = card
        self.ended = False

    def line(self, displacement, end=False):
        self.card.call("Velkor_MIX_3D_CONTINUE", 1 if end else 0, 0, ctypes.byref(_point(displacement, "line")),
                       None, 0)
        self.ended = self.ended or bool(end)
        return self

    def arc(self, mid, end_point, tolerance, end=False):
        """An arc from the end of the last segment through ``mid`` to
        ``end_point`` (both relative to its start); returns its ArcPlan."""
        result = self.card.call("Velkor_MIX_3D_CONTINUE", 1 if end else 0, 1, ctypes.byref(_point(mid, "mid")),
                                ctypes.byref(_point(end_point, "end")), tolerance)
        plan = ArcPlan.from_result(result)
        self.ended = self.ended or bool(end)
        return plan


class Card:
    """A module bound to a card number. As a context manager it registers the
    card on entry and tidies up on exit: a macro recording left open is
    closed, the interrupt service is ended (Velkor_DISABLE_RINT), and when
    the block ends with an exception every axis and the path are stopped at
    once (``stop_on_error``). ``module``: the VirtualModule in the slot, when
    the waits are to advance its manual clock."""

    def __init__(self, number=0, slot=3, *, interrupts=None, stop_on_error=True, module=None, library=None):
        self.number = _check_integer(number, "uint8_t", "number", "Card")
        self.slot = _check_integer(slot, "uint8_t", "slot", "Card")
        if interrupts is not None:
            interrupts = _check_integer(interrupts, "uint8_t", "interrupts", "Card")
        self.library = library if library is not None else raw.library()
        self.stop_on_error = stop_on_error
        # A virtual module on the manual clock moves only when advanced: the
        # waits advance it instead of waiting for real time to pass.
        self.module = module
        self._interrupts_wanted = interrupts
        self._calls = {}
        self.registered = False
        self.recording = None
        self.interrupts_enabled = False
        self.closed = False

    def __repr__(self):
        return "Card(%d, slot=%d)" % (self.number, self.slot)

    # ---- raw exports bound to the card
    def _check_open(self):
        if self.closed:
            raise CardClosed("card %d is closed (its with block has ended); register it again to use it"
                             % self.number)

    def call(self, name, *args):
        """Calls export ``name`` with this card's number first, arguments
        checked; CardClosed once the card is closed."""
        self._check_open()
        checked = self._calls.get(name)
        if checked is None:
            if name not in self.library.signatures:
                raise AttributeError("the library has no export %r" % name)
            checked = self._calls[name] = CheckedCall(self.library, name)
        return checked(self.number, *args)

    def __getattr__(self, name):
        # card.SET_V(...) or card.Velkor_SET_V(...), and card.WRITE_DATA(),
        # card.BtoL(k): every export whose first parameter is the card number.
        library = self.__dict__.get("library")
        if library is None or name.startswith("_"):
            raise AttributeError(name)
        for full in ("Velkor_" + name, name):
            signature = library.signatures.get(full)
            if signature is not None and signature[1][:1] == (("cardNo", "uint8_t"),):
                return lambda *args: self.call(full, *args)
        raise AttributeError("%r has no attribute %r (and the library no export Velkor_%s)" % (self, name, name))

    # ---- life cycle
    def register(self):
        """Velkor_REGISTRATION; also opens a closed card again."""
        if self.library.Velkor_REGISTRATION(self.number, self.slot) != 1:
            raise RegistrationError("card %d: no module registered in slot %d" % (self.number, self.slot))
        self.registered = True
        self.closed = False
        return self

    def close(self, error=False):
        """Tidies up as the end of a ``with`` block does; safe to call twice.
        The card then refuses calls (CardClosed) until registered again."""
        if not self.registered:
            self.closed = True
            return
        try:
            if self.recording is not None:
                self.end_recording()
            if error and self.stop_on_error:
                self.call("Velkor_STOP_SUDDENLY", ALL_AXES)
                self.call("Velkor_VSTOP_SUDDENLY")
        finally:
            if self.interrupts_enabled:
                self.interrupts_enabled = False
                self.library.Velkor_DISABLE_RINT(self.number)
            self.registered = False
            self.closed = True

    def __enter__(self):
        self.register()
        if self._interrupts_wanted is not None:
            try:
                self.enable_interrupts(self._interrupts_wanted)
            except BaseException:
                self.close(error=True)
                raise
        return self

    def __exit__(self, kind, value, traceback):
        self.close(error=kind is not None)
        return False

    # ---- card functions and status
    def axis(self, number):
        return Axis(self, axis_mask(number))

    def axes(self, *numbers):
        """The axes given by number together: ``card.axes(1, 2)`` selects 0x3."""
        mask = 0
        for number in numbers:
            mask |= axis_mask(number)
        if not mask:
            raise ValueError("name at least one axis")
        return Axis(self, mask)

    @property
    def library_version(self):
        self._check_open()
        return self.library.Velkor_GET_VERSION()

    @property
    def firmware_version(self):
        return self.call("Velkor_GET_FW_VERSION")

    def reset(self):
        self.call("Velkor_RESET_CARD")
        self.recording = None

    def clear_buffer(self):
        self.call("Velkor_CLEAR_CARD_BUFFER")
        self.recording = None

    def check_rtc(self):
        return self.call("Velkor_CHECK_RTC")

    @property
    def error(self):
        """True while the module reports an error (or the host's stop flag is set)."""
        return self.call("Velkor_GET_ERROR") != 0

    def error_code(self, axes=Axes.AXIS1):
        return ErrorBits(self.call("Velkor_GET_ERROR_CODE", _selector(axes)))

    # ---- stopping and waiting
    def stop(self, axes=ALL_AXES, suddenly=False):
        self.call("Velkor_STOP_SUDDENLY" if suddenly else "Velkor_STOP_SLOWLY", _selector(axes))

    def stop_path(self, suddenly=False):
        self.call("Velkor_VSTOP_SUDDENLY" if suddenly else "Velkor_VSTOP_SLOWLY")

    def clear_stop(self):
        self.call("Velkor_CLEAR_STOP")

    def hold(self, axes):
        self.call("Velkor_DRV_HOLD", _selector(axes))

    def release(self, axes):
        self.call("Velkor_DRV_START", _selector(axes))

    def stopped(self, axes=ALL_AXES):
        """One poll: True when every selected axis has stopped."""
        return self.call("Velkor_STOP_WAIT", _selector(axes)) == 1

    def _manual_clock(self):
        return self.module if self.module is not None and getattr(self.module, "manual", False) else None

    def wait_stopped(self, axes=ALL_AXES, timeout=30.0):
        """Polls until the axes have stopped; MotionTimeout after ``timeout``
        seconds (None: no limit). On a manual clock the time is simulated:
        the module is advanced until the axes stop, at most ``timeout``."""
        mask = _selector(axes)
        timeout = check_timeout(timeout, "wait_stopped")
        clock = self._manual_clock()
        if clock is not None:
            clock.advance_until_stopped(mask, 3600.0 if timeout is None else timeout)
            deadline = time.monotonic()  # no time passes while only polling
        else:
            deadline = None if timeout is None else time.monotonic() + timeout
        while not self.stopped(mask):
            if deadline is not None and time.monotonic() >= deadline:
                position = self.call("Velkor_GET_LP", mask)
                raise MotionTimeout("card %d: axes %s still moving after %g s (LP %d)"
                                    % (self.number, Axes(mask), timeout, position))
        return self

    # ---- vector interpolation
    def assign_axes(self, axis1, axis2, axis3=0):
        """The axes of the next paths, by number (``card.assign_axes(1, 2, 3)``),
        or as ``Axes`` flags or ``Axis`` objects of one axis each; ``axis3``
        0 for none. A wrong value raises ValueError before anything is sent
        (the module would refuse it with BAD_COMMAND and keep the last
        assignment)."""
        selectors = []
        for place, axis in (("axis1", axis1), ("axis2", axis2), ("axis3", axis3)):
            if place == "axis3" and isinstance(axis, int) and not isinstance(axis, (Axes, bool)) and axis == 0:
                selectors.append(0)
                continue
            if isinstance(axis, (Axes, Axis)):
                mask = _selector(axis)
                if mask not in (1, 2, 4, 8):
                    raise ValueError("assign_axes: %s must name one axis, not %s" % (place, Axes(mask)))
            elif isinstance(axis, int) and not isinstance(axis, bool) and 1 <= axis <= 4:
                mask = 1 << (axis - 1)
            else:
                raise ValueError("assign_axes: %s is an axis number 1 to 4 (or an Axes flag or Axis of one axis)%s, "
                                 "not %r" % (place, ", 0 for none" if place == "axis3" else "", axis))
            if mask in selectors:
                raise ValueError("assign_axes: %s names axis %d twice" % (place, mask.bit_length()))
            selectors.append(mask)
        self.call("Velkor_AXIS_ASSIGN", *selectors)

    def vector_profile(self, sv=None, v=None, a=None, d=None):
        for name, value in (("SET_VSV", sv), ("SET_VV", v), ("SET_VA", a), ("SET_VD", d)):
            if value is not None:
                self.call("Velkor_" + name, value)

    def line(self, dx, dy, dz=None):
        if dz is None:
            self.call("Velkor_LINE_2D", dx, dy)
        else:
            self.call("Velkor_LINE_3D", dx, dy, dz)

    def arc(self, center, end, clockwise=True):
        """An arc over the first two interpolation axes; centre and end
        relative to the start."""
        (cx, cy), (ex, ey) = center, end
        self.call("Velkor_ARC_CW" if clockwise else "Velkor_ARC_CCW", cx, cy, ex, ey)

    def circle(self, center, clockwise=True):
        cx, cy = center
        self.call("Velkor_CIRCLE_CW" if clockwise else "Velkor_CIRCLE_CCW", cx, cy)

    def line_path(self, axes, sv, v, a):
        """Opens a continuous line path over two or three axes (each an axis
        number 1..4 or a selector Axes.X...)."""
        selectors = [self._single(axis) for axis in axes]
        if len(selectors) == 2:
            self.call("Velkor_LINE_2D_INITIAL", *selectors, sv, v, a)
        elif len(selectors) == 3:
            self.call("Velkor_LINE_3D_INITIAL", *selectors, sv, v, a)
        else:
            raise ValueError("a line path has two or three axes")
        return LinePath(self, len(selectors))

    def arc_3d(self, mid, end, tolerance, speed, axes=(1, 2, 3)):
        """A complete path of one arc in space through ``mid`` to ``end``
        (relative to the start); returns its ArcPlan, or raises ArcDegenerate
        when nothing was sent."""
        a1, a2, a3 = (self._single(axis) for axis in axes)
        result = self.call("Velkor_ARC_3D", a1, a2, a3, ctypes.byref(_point(mid, "mid")),
                           ctypes.byref(_point(end, "end")), tolerance, speed)
        return ArcPlan.from_result(result)

    def mix_path(self, sv, v, a, axes=(1, 2, 3)):
        """Opens a three-dimensional path of lines and arcs (MIX_3D_INITIAL
        with sv, v, a; v is the speed its arcs are timed with)."""
        a1, a2, a3 = (self._single(axis) for axis in axes)
        self.call("Velkor_MIX_3D_INITIAL", a1, a2, a3, sv, v, a)
        return MixPath(self)

    @staticmethod
    def _single(axis):
        # An axis number 1..4 (int), or an Axes flag / Axis used as it is.
        if isinstance(axis, (Axes, Axis)):
            return _selector(axis)
        return int(axis_mask(axis))

    # ---- variables and remote I/O
    def read_byte_var(self, index):
        return self.call("Velkor_READ_bVAR", index)

    def write_byte_var(self, index, value):
        self.call("Velkor_WRITE_bVAR", index, value)

    def read_var(self, index):
        return self.call("Velkor_READ_VAR", index)

    def write_var(self, index, value):
        self.call("Velkor_WRITE_VAR", index, value)

    def read_md(self, index):
        """MD entry ``index``: an int below 1024, a float from 1024 on."""
        as_int, as_float = ctypes.c_int32(0), ctypes.c_float(0.0)
        self.call("Velkor_READ_MD", index, ctypes.byref(as_int), ctypes.byref(as_float))
        return as_int.value if index < 1024 else as_float.value

    def write_md(self, index, value):
        if index < 1024:
            self.call("Velkor_WRITE_MD", index, value, 0.0)
        else:
            self.call("Velkor_WRITE_MD", index, 0, value)

    def remote_in(self, port):
        return self.call("Velkor_QUORL_IN", port)

    def remote_out(self, port, word):
        self.call("Velkor_QUORL_OUT", port, word)

    # ---- interrupts
    def enable_interrupts(self, factors=InterruptFactor.DRIVE_END):
        """Starts the card's interrupt service, switches the module's
        interrupt on and lets ``factors`` raise it."""
        self._check_open()
        factors = _check_integer(factors, "uint8_t", "factors", "enable_interrupts")
        if not self.interrupts_enabled:
            if self.library.Velkor_ENABLE_RINT(self.number) != 1:
                raise InterruptServiceError("card %d: the interrupt service did not start" % self.number)
            self.interrupts_enabled = True
        self.call("Velkor_ENABLE_INT")
        self.call("Velkor_INTFACTOR_ENABLE", int(factors), 0, 0)

    def disable_interrupts(self):
        """Switches the module's interrupt off and ends the service."""
        self.call("Velkor_DISABLE_INT")  # refused on a closed card, which has ended its service
        if self.interrupts_enabled:
            self.interrupts_enabled = False
            self.library.Velkor_DISABLE_RINT(self.number)

    def wait_interrupt(self, mask=InterruptFactor.ALL, timeout=5.0, clear=False):
        """Waits for an interrupt flag of ``mask``, consumes it and returns
        an ``Interrupt(factor, code)``: the factor whose flag it consumed
        (the lowest of the mask that was set) and the last interrupt code
        (InterruptFactor bits of the latest interrupt the service read,
        which need not be the one that set the flag). A flag stays set until
        a wait consumes it or the flags are cleared: ``clear=True`` clears
        all eight first (Velkor_CLEAR_RINT_FLAG), for an event that cannot
        have happened yet. InterruptTimeout after ``timeout`` seconds (None:
        no limit). On a manual clock the time is simulated: the module is
        advanced in steps of 10 ms between short waits."""
        self._check_open()
        mask = _check_integer(mask, "uint8_t", "mask", "wait_interrupt")
        if not mask:
            raise ValueError("wait_interrupt: the mask names no factor")
        timeout = check_timeout(timeout, "wait_interrupt")
        if clear:
            self.library.Velkor_CLEAR_RINT_FLAG(self.number)
        factors = [1 << i for i in range(8) if mask >> i & 1]
        clock = self._manual_clock()
        deadline = None if timeout is None else time.monotonic() + timeout
        simulated_ms = 0
        while True:
            if len(factors) == 1:
                # One factor: the library's own wait, in slices so that Ctrl-C works.
                left = _WAIT_SLICE_MS if deadline is None else int((deadline - time.monotonic()) * 1000 + 0.5)
                count = 2 if clock is not None else max(1, min(left, _WAIT_SLICE_MS))
                code = self.library.Velkor_RINT_WAIT(self.number, mask, count)
                consumed = mask if code else 0
            else:
                # Several: one short wait per factor, lowest first, so that the
                # one consumed is known (Velkor_RINT_WAIT does not say).
                consumed = code = 0
                for factor in factors:
                    code = self.library.Velkor_RINT_WAIT(self.number, factor, 1)
                    if code:
                        consumed = factor
                        break
            if consumed:
                return Interrupt(InterruptFactor(consumed), InterruptFactor(code))
            if clock is not None:
                # A short real wait above let the service thread raise the flag
                # of an interrupt that the last step of motion caused.
                clock.advance(_MANUAL_STEP_MS / 1000.0)
                simulated_ms += _MANUAL_STEP_MS
                timed_out = timeout is not None and simulated_ms >= timeout * 1000
            else:
                timed_out = deadline is not None and time.monotonic() >= deadline
            if timed_out:
                raise InterruptTimeout("card %d: no interrupt of %s within %g s"
                                       % (self.number, InterruptFactor(mask), timeout))

    def clear_interrupt_flags(self):
        """Clears the eight interrupt flags (the last code stays)."""
        self._check_open()
        self.library.Velkor_CLEAR_RINT_FLAG(self.number)

    # ---- macro programs
    def begin_recording(self, program):
        self.call("Velkor_MP_CREATE", program)
        self.recording = program

    def end_recording(self):
        self.recording = None
        self.call("Velkor_MP_CLOSE")

    @contextlib.contextmanager
    def record_program(self, program):
        """Records every packet sent inside the block as macro program
        ``program``; the recording is closed also when the block fails."""
        self.begin_recording(program)
        try:
            yield self
        finally:
            if self.recording is not None:
                self.end_recording()

    def call_program(self, program):
        self.call("Velkor_MP_CALL", program)


__all__ = ["HOME_SEQUENCES", "ArcPlan", "Axis", "Card", "CheckedCall", "Interrupt", "LinePath", "MixPath",
           "VelkorError"]
