"""The raw layer: every export of the library with its exact argument and
result types, as the public header declares them (table in ``_exports``).

    from velkor import raw
    raw.Velkor_REGISTRATION(0, 3)
    raw.Velkor_GET_LP(0, 1)
    raw.nVelkor                        # the exported variable
    raw.library().nVelkor = 5          # ... written

Calls go straight to the library through ctypes: no checks, no conversions
beyond what ctypes does for the declared C types (integers wider than the
parameter are cut to its width, as a C compiler would). The Pythonic layer
(``velkor.Card``) checks ranges before it calls.
"""

import ctypes
import threading

from . import _exports, finding

class POINT_3D(ctypes.Structure):
    """A point relative to the start of a three-dimensional segment."""

    _fields_ = [("x", ctypes.c_int32), ("y", ctypes.c_int32), ("z", ctypes.c_int32)]

    def __iter__(self):
        return iter((self.x, self.y, self.z))

    def __repr__(self):
        return "POINT_3D(%d, %d, %d)" % (self.x, self.y, self.z)


SCALARS = {
    "void": None,
    "char": ctypes.c_char,
    "uint8_t": ctypes.c_uint8,
    "int8_t": ctypes.c_int8,
    "uint16_t": ctypes.c_uint16,
    "int16_t": ctypes.c_int16,
    "uint32_t": ctypes.c_uint32,
    "int32_t": ctypes.c_int32,
    "uint64_t": ctypes.c_uint64,
    "int64_t": ctypes.c_int64,
    "float": ctypes.c_float,
    "double": ctypes.c_double,
    "POINT_3D": POINT_3D,
}

# Integer limits of each C integer type, for the checks of the Pythonic layer.
INTEGER_RANGES = {
    "uint8_t": (0, 0xFF),
    "int8_t": (-0x80, 0x7F),
    "uint16_t": (0, 0xFFFF),
    "int16_t": (-0x8000, 0x7FFF),
    "uint32_t": (0, 0xFFFFFFFF),
    "int32_t": (-0x80000000, 0x7FFFFFFF),
    "uint64_t": (0, 0xFFFFFFFFFFFFFFFF),
    "int64_t": (-0x8000000000000000, 0x7FFFFFFFFFFFFFFF),
}


def ctype(spelling, opaque=()):
    """The ctypes type of a C type as the header spells it ('const POINT_3D*').
    A handle type is an untyped pointer; a char pointer a C string."""
    base = spelling.replace("const ", "")
    pointers = base.count("*")
    base = base.rstrip("*")
    if base in opaque:
        return ctypes.c_void_p
    if base == "char" and pointers == 1:
        return ctypes.c_char_p
    kind = SCALARS[base]
    for _ in range(pointers):
        kind = ctypes.POINTER(kind)
    return kind


def load_slot_bus():
    """Loads the slot-bus library process-wide, before the driver library and
    the virtual module, so that both find and share the one backplane in it."""
    return ctypes.CDLL(str(finding.find("BrelanSDK")), mode=ctypes.RTLD_GLOBAL)


class Exports:
    """A loaded library with every export of its table declared: each
    function is an attribute of the same name."""

    def __init__(self, path, table):
        self.path = str(path)
        self.table = table
        self.dll = ctypes.CDLL(self.path)
        self.signatures = {}
        opaque = getattr(table, "OPAQUE", ())
        for name, result, params in table.FUNCTIONS:
            function = getattr(self.dll, name)
            function.restype = ctype(result, opaque)
            function.argtypes = [ctype(kind, opaque) for _, kind in params]
            self.signatures[name] = (result, params)
            setattr(self, name, function)
        self._variables = {name: ctype(kind, opaque).in_dll(self.dll, name) for name, kind in table.VARIABLES}

    def names(self):
        """Every export name, functions then variables, in header order."""
        return [f[0] for f in self.table.FUNCTIONS] + [v[0] for v in self.table.VARIABLES]


class Library(Exports):
    """The driver library with every export declared; ``nVelkor`` is a
    property that reads and writes the exported variable."""

    def __init__(self, path=None):
        if path is None:
            load_slot_bus()
            path = finding.find("Velkor")
        super().__init__(path, _exports)

    @property
    def nVelkor(self):
        return self._variables["nVelkor"].value

    @nVelkor.setter
    def nVelkor(self, value):
        self._variables["nVelkor"].value = value


_lock = threading.Lock()
_library = None


def library():
    """The driver library, loaded and declared on first use."""
    global _library
    with _lock:
        if _library is None:
            _library = Library()
        return _library


_EXPORT_NAMES = frozenset(f[0] for f in _exports.FUNCTIONS)


def __getattr__(name):
    # raw.Velkor_GET_LP(...) and raw.nVelkor reach the loaded library.
    if name in _EXPORT_NAMES or name == "nVelkor":
        return getattr(library(), name)
    raise AttributeError("module %r has no attribute %r" % (__name__, name))


def __dir__():
    return sorted(list(globals()) + list(_EXPORT_NAMES) + ["nVelkor"])
