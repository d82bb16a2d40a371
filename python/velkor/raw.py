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

class Structure(ctypes.Structure):
    """Base of the structures generated from a header: iterable over its
    fields in order, printed with them, and convertible to a dict."""

    def __iter__(self):
        return (getattr(self, field[0]) for field in self._fields_)

    def as_dict(self):
        def plain(value):
            if isinstance(value, Structure):
                return value.as_dict()
            if isinstance(value, ctypes.Array):
                return [plain(item) for item in value]
            return value
        return {field[0]: plain(getattr(self, field[0])) for field in self._fields_}

    def __repr__(self):
        return "%s(%s)" % (type(self).__name__,
                           ", ".join("%s=%r" % (name, value) for name, value in self.as_dict().items()))


SCALARS = {
    "void": None,
    "char": ctypes.c_char,
    "int": ctypes.c_int,
    "long": ctypes.c_long,
    "size_t": ctypes.c_size_t,
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
}


def _integer_range(kind, signed):
    bits = 8 * ctypes.sizeof(kind)
    return (-(1 << (bits - 1)), (1 << (bits - 1)) - 1) if signed else (0, (1 << bits) - 1)


# Integer limits of each C integer type, for the checks of the Pythonic layer.
INTEGER_RANGES = {name: _integer_range(SCALARS[name], not name.startswith(("uint", "size")))
                  for name in ("int", "long", "size_t", "uint8_t", "int8_t", "uint16_t", "int16_t", "uint32_t",
                               "int32_t", "uint64_t", "int64_t")}


def build_structs(table):
    """The ctypes structures of a table, by name, in header order."""
    structs = {}
    for name, fields in getattr(table, "STRUCTS", ()):
        layout = []
        for field, kind, count in fields:
            member = ctype(kind, structs=structs)
            layout.append((field, member * count if count else member))
        structs[name] = type(name, (Structure,), {"_fields_": layout, "__doc__": "The C structure %s." % name})
    return structs


def ctype(spelling, opaque=(), structs=None):
    """The ctypes type of a C type as the header spells it ('const POINT_3D*').
    A handle type is an untyped pointer; a char pointer a C string."""
    base = spelling.replace("const ", "")
    pointers = base.count("*")
    base = base.rstrip("*")
    if base in opaque:
        return ctypes.c_void_p
    if base == "char" and pointers == 1:
        return ctypes.c_char_p
    kind = SCALARS[base] if base in SCALARS else (structs if structs is not None else STRUCTS)[base]
    for _ in range(pointers):
        kind = ctypes.POINTER(kind)
    return kind


# The driver library's structures; POINT_3D is three int32 x, y, z.
STRUCTS = build_structs(_exports)
POINT_3D = STRUCTS["POINT_3D"]


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
        self.structs = STRUCTS if table is _exports else build_structs(table)
        self.constants = dict(getattr(table, "CONSTANTS", ()))
        opaque = getattr(table, "OPAQUE", ())
        for name, result, params in table.FUNCTIONS:
            try:
                function = getattr(self.dll, name)
            except AttributeError:
                raise OSError("%s has no %s, which its header declares: the library and this package come "
                              "from different versions" % (self.path, name)) from None
            function.restype = ctype(result, opaque, self.structs)
            function.argtypes = [ctype(kind, opaque, self.structs) for _, kind in params]
            self.signatures[name] = (result, params)
            setattr(self, name, function)
        self._variables = {name: ctype(kind, opaque, self.structs).in_dll(self.dll, name)
                           for name, kind in table.VARIABLES}

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
