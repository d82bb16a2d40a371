"""Readable names for the numbers the module and the library use: axis
selectors, the error code bits, the interrupt factor bits and the arc
planner's degenerate result. Each is an ``enum.IntFlag`` or a plain integer,
so it goes to the raw layer unchanged and prints with its name.
"""

import enum


class _NamedFlag(enum.IntFlag):
    """An IntFlag that prints as its names on every Python (3.11 prints a
    plain IntFlag as its number): ``str(ErrorBits(0x210))`` is
    ``HARD_LIMIT_PLUS|HOMING_FAILED``, bits without a name follow in hex
    (``PLUS_LIMIT|0x80``), no bit at all is ``0``. A format with a spec
    formats the number (``f"{code:#06x}"``)."""

    def __str__(self):
        value = int(self)
        if value == 0:
            return "0"
        for name, member in type(self).__members__.items():
            if int(member) == value:
                return name
        # Members that cover several bits (Inputs.GENERAL) before single
        # bits; a selector of every bit (ALL) only for the value itself.
        members = {}
        for member in type(self).__members__.values():
            if int(member) and int(member) != value and int(member) not in members:
                members[int(member)] = member._name_
        parts = []
        for bits in sorted(members, key=lambda b: (-bin(b).count("1"), b)):
            if bits & value == bits:
                parts.append((bits & -bits, members[bits]))
                value &= ~bits
        parts.sort()
        names = [name for _, name in parts]
        if value:
            names.append("%#x" % value)
        return "|".join(names)

    def __format__(self, spec):
        return str(self) if not spec else format(int(self), spec)


class Axes(_NamedFlag):
    """Axis selectors: a bit mask, 1, 2, 4 and 8 for axes 1 to 4; a sum
    selects several axes at once."""

    AXIS1 = 0x1
    AXIS2 = 0x2
    AXIS3 = 0x4
    AXIS4 = 0x8
    X = AXIS1
    Y = AXIS2
    Z = AXIS3
    U = AXIS4
    ALL = 0xF


def axis_mask(number):
    """The selector of axis ``number`` (1 to 4)."""
    if not isinstance(number, int) or isinstance(number, bool) or not 1 <= number <= 4:
        raise ValueError("an axis number is 1 to 4, not %r" % (number,))
    return Axes(1 << (number - 1))


class ErrorBits(_NamedFlag):
    """Bits of an axis's error code (``Velkor_GET_ERROR_CODE``), as the
    virtual module sets them; HOST_STOP_FLAG is the library's own. The names
    are those of the monitor, scenario files and the tool, in capitals; the
    earlier spellings (LIMIT_SWITCH_PLUS, LIMIT_SWITCH_MINUS, DRIVE_ALARM)
    stay as aliases."""

    SOFT_LIMIT_PLUS = 0x0001    # stopped at the + soft limit
    SOFT_LIMIT_MINUS = 0x0002   # stopped at the - soft limit
    AXIS_BUSY = 0x0004          # a move was refused: the axis was in use
    BAD_COMMAND = 0x0008        # a command with invalid values was ignored
    HARD_LIMIT_PLUS = 0x0010    # stopped at, or refused by, the + limit switch
    HARD_LIMIT_MINUS = 0x0020   # stopped at, or refused by, the - limit switch
    SERVO_ALARM = 0x0040        # the servo drive's alarm stopped the axis or refused a move
    SERVO_OFF = 0x0080          # the servo is off: a move or homing was refused or stopped
    HOST_STOP_FLAG = 0x0100     # set by the library while its stop flag is set
    HOMING_FAILED = 0x0200      # homing failed
    PROGRAM_MALFORMED = 0x0400  # a macro program is malformed, or a step of it could not be carried out
    NOT_SIMULATED = 0x0800      # a command the module does not carry out (listed)
    PACKET_MISSING = 0x1000     # a packet number was skipped or given up
    PROGRAM_TOO_LONG = 0x2000   # a macro program was recorded past its length limit
    PROGRAM_MISSING = 0x4000    # a macro program was called that does not exist
    PROGRAM_RUNAWAY = 0x8000    # a macro program ran too many steps without simulated time passing
    LIMIT_SWITCH_PLUS = HARD_LIMIT_PLUS
    LIMIT_SWITCH_MINUS = HARD_LIMIT_MINUS
    DRIVE_ALARM = SERVO_ALARM


class Inputs(_NamedFlag):
    """Bits of an axis's input word (``Velkor_GET_DI_ALL``; ``Velkor_GET_DI``
    reads bit n) on the virtual module: the levels at its input terminals."""

    PLUS_LIMIT = 0x0001   # the + limit switch is actuated
    MINUS_LIMIT = 0x0002  # the - limit switch is actuated
    HOME = 0x0004         # the home switch is actuated
    NEAR_HOME = 0x0008    # the near-home switch is actuated
    INDEX = 0x0010        # the encoder is on its index (Z) position
    SERVO_ALARM = 0x0020  # the drive's alarm output is on
    IN_POSITION = 0x0040  # the servo is on and the motor within the in-position band
    GENERAL = 0xFF00      # general inputs 8..15


class InterruptFactor(_NamedFlag):
    """Bits of the interrupt code (``Velkor_RINT_WAIT``,
    ``Velkor_INTERRUPT_RETURN_CODE``): bit i is factor i. The names are
    those of the monitor, scenario files and the tool, in capitals; the
    earlier spellings (ALARM, HOMING, and MACRO for PROGRAM) stay as
    aliases."""

    DRIVE_END = 0x01   # a drive or path has ended, or was stopped
    LIMIT = 0x02       # an axis stopped at, or was refused by, a limit
    SERVO_ALARM = 0x04  # a servo drive's alarm came on
    HOMED = 0x08       # a homing ended, done or failed
    COMPARE = 0x10     # a compare fired
    DEBUG = 0x20       # the debugger's flag (Velkor_DEBUG_WAIT)
    SYNC_ACTION = 0x40  # a synchronous action was carried out
    PROGRAM = 0x80     # Velkor_MP_SET_RINT carried out, or a program run ended on a fault
    ALL = 0xFF
    ALARM = SERVO_ALARM
    HOMING = HOMED
    MACRO = PROGRAM


# Returned by the arc functions, with nothing sent, for an arc that cannot be planned.
ARC_DEGENERATE = -0x80000000

# Control and stop results the library documents.
WRITE_DATA_POSTED = 0
WRITE_DATA_DROPPED = 1
