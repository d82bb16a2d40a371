"""The host-side checks of the Pythonic layers (``Card``, ``VirtualModule``):
integers against their C types, pointers against what the call reads or
writes through them, and time-outs. A value that fails raises before
anything is called; nothing here changes a value that passes."""

import ctypes
import math
import numbers

from . import raw

# Calls that read or write an array through a pointer, with the parameter
# that says how many elements: {function: {pointer: count parameter}}.
# Every other typed pointer is read or written as one element.
ARRAY_LENGTHS = {
    "Velkor_LINE_SCAN_OFFSET": {"offsets": "count"},
    "VelkorSim_Unsimulated": {"out": "capacity"},
    "VelkorSim_TakeTrail": {"out": "capacity"},
    "VelkorSim_TakeLog": {"out": "capacity"},
    "VelkorSim_TakeScope": {"out": "capacity"},
    "VelkorSim_TakeScopeSized": {"out": "capacity"},
    "VelkorSim_DescribeLogEntry": {"text": "size"},
    "VelkorSim_DescribeMacroStep": {"text": "size"},
}
# Velkor_CONTINUE_INTP_ARRAY reads its six arrays up to and including the
# first entry whose data1 is 7, at most this many entries.
_INTP_ARRAY_ENTRIES = 100
_INTP_ARRAY_LAST = 7


def check_integer(value, kind, name, function):
    """``value`` as an int when it is an integer (not a bool) within the
    range of C type ``kind``; TypeError or ValueError otherwise."""
    low, high = raw.INTEGER_RANGES[kind]
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError("%s: %s must be an integer (%s), not %r" % (function, name, kind, value))
    if not low <= value <= high:
        raise ValueError("%s: %s = %d is out of range for %s (%d..%d)" % (function, name, value, kind, low, high))
    return int(value)


def check_timeout(timeout, function):
    """A time-out in seconds: None or infinity (no limit), else a number
    not below 0. NaN and negative time-outs are refused."""
    if timeout is None:
        return None
    if isinstance(timeout, bool) or not isinstance(timeout, numbers.Real):
        raise TypeError("%s: a time-out is a number of seconds or None, not %r" % (function, timeout))
    if math.isnan(timeout) or timeout < 0:
        raise ValueError("%s: a time-out is 0 or more seconds (None: no limit), not %r" % (function, timeout))
    return None if math.isinf(timeout) else float(timeout)


def _integer_kind(ctype):
    # The INTEGER_RANGES name of a ctypes integer type, None for any other.
    code = getattr(ctype, "_type_", None)
    if not isinstance(code, str) or code not in "bBhHiIlLqQ":
        return None
    size = ctypes.sizeof(ctype)
    for kind in raw.INTEGER_RANGES:
        kind_type = raw.SCALARS[kind]
        if ctypes.sizeof(kind_type) == size and (kind_type._type_.islower() == code.islower()):
            return kind
    return None  # pragma: no cover - every ctypes integer has a match


def set_fields(structure, values, what):
    """Sets the named fields of a ctypes structure, integers checked against
    their field's C type (ctypes would cut them to width)."""
    types = dict(structure._fields_)
    for name, value in values.items():
        if name not in types:
            raise TypeError("%s has no field %r (it has %s)" % (what, name, ", ".join(types)))
        kind = _integer_kind(types[name])
        if kind is not None:
            value = check_integer(value, kind, name, what)
        setattr(structure, name, value)


def _pointed(value):
    # The ctypes object a pointer argument points into, or None when its
    # extent is not known (a bare pointer).
    if isinstance(value, (ctypes.Array, ctypes.Structure, ctypes.Union, ctypes._SimpleCData)):
        return value
    obj = getattr(value, "_obj", None)  # ctypes.byref(...)
    if obj is not None and type(value).__name__ == "CArgObject":
        return obj
    return None


def _elements(value, element, function, name):
    """How many elements of type ``element`` the argument holds."""
    if isinstance(value, (bytes, str)):
        # ctypes passes a bytes object as a char pointer: only const char* takes it.
        return len(value) + 1
    target = _pointed(value)
    if target is None:
        raise TypeError("%s: %s must be a ctypes array, structure or ctypes.byref(...) so that its length can "
                        "be checked, not %r (the raw layer takes any pointer)" % (function, name, value))
    return ctypes.sizeof(target) // max(1, ctypes.sizeof(element))


def _element_type(argtype):
    if argtype is ctypes.c_char_p:
        return ctypes.c_char
    return getattr(argtype, "_type_", ctypes.c_char)


def _intp_array_entries(data1):
    # Entries CONTINUE_INTP_ARRAY reads: to the first data1 of 7, at most 100.
    target = _pointed(data1)
    items = target if isinstance(target, ctypes.Array) else [getattr(target, "value", target)]
    for i, entry in enumerate(items[:_INTP_ARRAY_ENTRIES]):
        if entry == _INTP_ARRAY_LAST:
            return i + 1
    return _INTP_ARRAY_ENTRIES


class CheckedCall:
    """An export that checks its arguments before the call: integers against
    their C types (instead of ctypes cutting them to width), numbers for
    floating-point parameters, and every pointer against what the call reads
    or writes through it (one element, or the count another parameter
    gives), so that nothing is read or written past an array's end."""

    def __init__(self, library, name):
        self.name = name
        self.function = getattr(library, name)
        self.result, self.params = library.signatures[name]
        self.argtypes = list(self.function.argtypes or ())

    def __call__(self, *args):
        if len(args) != len(self.params):
            raise TypeError("%s takes %d arguments (%s), %d given"
                            % (self.name, len(self.params), ", ".join(p for p, _ in self.params), len(args)))
        checked = []
        for value, (name, kind) in zip(args, self.params):
            if kind in raw.INTEGER_RANGES:
                value = check_integer(value, kind, name, self.name)
            elif kind in ("float", "double"):
                if isinstance(value, bool) or not isinstance(value, numbers.Real):
                    raise TypeError("%s: %s must be a number, not %r" % (self.name, name, value))
                value = float(value)
            checked.append(value)
        self._check_pointers(checked)
        return self.function(*checked)

    def _check_pointers(self, args):
        values = {name: value for value, (name, _) in zip(args, self.params)}
        counts = ARRAY_LENGTHS.get(self.name, {})
        needed_everywhere = None
        if self.name == "Velkor_CONTINUE_INTP_ARRAY" and all(v is not None for v in args[1:]):
            needed_everywhere = _intp_array_entries(values["data1"])
        for value, (name, kind), argtype in zip(args, self.params, self.argtypes):
            if "*" not in kind or value is None or kind.endswith("Module*"):
                continue
            if kind.replace(" ", "") == "constchar*" and isinstance(value, (bytes, str)):
                continue  # a C string
            if isinstance(value, (bytes, str)):
                raise TypeError("%s: %s is written by the call: pass a writable buffer "
                                "(ctypes.create_string_buffer), not %r" % (self.name, name, value))
            needed = needed_everywhere or (values[counts[name]] if name in counts else 1)
            held = _elements(value, _element_type(argtype), self.name, name)
            if held < needed:
                raise ValueError("%s: %s holds %d elements, the call %s %d"
                                 % (self.name, name, held, "reads" if kind.startswith("const") else "writes",
                                    needed))
