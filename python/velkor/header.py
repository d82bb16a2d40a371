"""The export lists of the public headers, and the generator of the raw
layer's tables from them.

A header is the one list of its library's exports: every declaration that
starts with its API macro (``VELKOR_API`` for the driver library,
``VELKOR_SIM_API`` for the virtual module). ``parse_header`` reads those
lines into ``Export`` records (name, result type, parameters as C type
strings), together with the structures (``typedef struct X {...} X;``), the
handle types (``typedef struct X X;``) and the enumeration constants the
header defines. ``render_table`` writes the modules ``velkor/_exports.py``
and ``velkor/_sim_exports.py`` that the raw layers load, so that the package
works without the headers beside it. A test regenerates each table from its
header and fails when the committed one differs.

Regenerate after a change of a header:

    python3 python/velkor/header.py --all
"""

import os
import re
import sys
from collections import namedtuple

Export = namedtuple("Export", "name result params")
Export.__doc__ = "A function: its name, its result type and (name, type) parameters."
Variable = namedtuple("Variable", "name type")
Variable.__doc__ = "An exported variable: its name and type."
Header = namedtuple("Header", "functions variables structs opaque constants")
Header.__doc__ = """What a header declares: functions and variables with the API macro,
structures as (name, ((field, type, count), ...)) with count 0 for a single
value, handle types, and enumeration constants as (name, value)."""

# The C types that may appear in the interface, by their spelling there.
SCALAR_TYPES = ("void", "char", "int", "long", "size_t", "uint8_t", "int8_t", "uint16_t", "int16_t", "uint32_t",
                "int32_t", "uint64_t", "int64_t", "float", "double")

# The tables and the headers they come from, relative to the source tree.
TABLES = (
    ("VELKOR_API", "include/Velkor.h", "python/velkor/_exports.py"),
    ("VELKOR_SIM_API", "sim/include/velkor_sim/velkor_sim.h", "python/velkor/_sim_exports.py"),
)

_COMMENT = re.compile(r"/\*.*?\*/|//[^\n]*", re.S)
_OPAQUE = re.compile(r"\btypedef\s+struct\s+(\w+)\s+(\w+)\s*;")
_STRUCT = re.compile(r"\btypedef\s+struct\s+(\w+)\s*\{(.*?)\}\s*(\w+)\s*;", re.S)
_FIELD = re.compile(r"^(?P<type>[A-Za-z_]\w*)\s+(?P<name>[A-Za-z_]\w*)\s*(?:\[\s*(?P<count>\d+)\s*\])?$")
_ENUM = re.compile(r"\benum\s*\w*\s*\{(.*?)\}\s*;", re.S)
_ENUMERATOR = re.compile(r"^(?P<name>[A-Za-z_]\w*)\s*=\s*(?P<value>-?(?:0[xX][0-9a-fA-F]+|\d+))$")
_FUNCTION = re.compile(r"^\w+\s+(?P<result>(?:const\s+)?[A-Za-z_]\w*\s*\**)\s*(?P<name>[A-Za-z_]\w*)\s*"
                       r"\((?P<params>[^)]*)\)\s*;")
_VARIABLE = re.compile(r"^\w+\s+extern\s+(?P<type>[A-Za-z_]\w*)\s+(?P<name>[A-Za-z_]\w*)\s*;")
_PARAM = re.compile(r"^(?P<type>(?:const\s+)?[A-Za-z_]\w*\s*\**)\s*(?P<name>[A-Za-z_]\w*)$")


class HeaderError(ValueError):
    """A declaration that the parser cannot read exactly."""


def _normalise_type(text, structs=(), opaque=()):
    """'const  POINT_3D *' -> 'const POINT_3D*'; checks the base type is known.
    A handle type (declared but never defined) is only taken as a pointer."""
    text = " ".join(text.replace("*", " * ").split())
    pointer = text.count("*")
    base = text.replace("*", "").split()
    const = base[:1] == ["const"]
    if const:
        base = base[1:]
    if len(base) != 1 or base[0] not in SCALAR_TYPES + tuple(structs) + tuple(opaque):
        raise HeaderError("unknown type %r" % text)
    if pointer > 1 or (base[0] in opaque and pointer == 0):
        raise HeaderError("unsupported type %r" % text)
    return ("const " if const else "") + base[0] + "*" * pointer


def _parse_structs(text):
    structs = []
    for tag, body, name in _STRUCT.findall(text):
        if tag != name:
            raise HeaderError("struct %s is typedef'd as %s" % (tag, name))
        fields = []
        for piece in body.split(";"):
            piece = " ".join(piece.split())
            if not piece:
                continue
            match = _FIELD.match(piece)
            if not match:
                raise HeaderError("struct %s: cannot read field %r" % (name, piece))
            kind = _normalise_type(match.group("type"), [s for s, _ in structs])
            fields.append((match.group("name"), kind, int(match.group("count") or 0)))
        structs.append((name, tuple(fields)))
    return tuple(structs)


def _parse_constants(text):
    constants = []
    for body in _ENUM.findall(text):
        for piece in body.split(","):
            piece = " ".join(piece.split())
            if not piece:
                continue
            match = _ENUMERATOR.match(piece)
            if not match:
                raise HeaderError("enumerator without a plain value: %r" % piece)
            constants.append((match.group("name"), int(match.group("value"), 0)))
    return tuple(constants)


def _parse_params(text, where, structs, opaque):
    text = text.strip()
    if text in ("", "void"):
        return ()
    params = []
    for piece in text.split(","):
        match = _PARAM.match(piece.strip())
        if not match:
            raise HeaderError("%s: cannot read parameter %r" % (where, piece.strip()))
        params.append((match.group("name"), _normalise_type(match.group("type"), structs, opaque)))
    return tuple(params)


def parse_header(text, api="VELKOR_API"):
    """Everything the raw layer needs from a header (see ``Header``)."""
    code = _COMMENT.sub(" ", text)
    opaque = tuple(name for tag, name in _OPAQUE.findall(code) if tag == name)
    structs = _parse_structs(code)
    struct_names = [name for name, _ in structs]
    functions, variables = [], []
    for number, line in enumerate(text.splitlines(), 1):
        if line.split(None, 1)[:1] != [api]:
            continue
        where = "line %d" % number
        variable = _VARIABLE.match(line)
        if variable:
            variables.append(Variable(variable.group("name"),
                                      _normalise_type(variable.group("type"), struct_names, opaque)))
            continue
        function = _FUNCTION.match(line)
        if not function:
            raise HeaderError("%s: cannot read %r" % (where, line))
        functions.append(Export(function.group("name"),
                                _normalise_type(function.group("result"), struct_names, opaque),
                                _parse_params(function.group("params"), where, struct_names, opaque)))
    names = [f.name for f in functions] + [v.name for v in variables]
    if len(set(names)) != len(names):
        raise HeaderError("an export is declared twice")
    return Header(tuple(functions), tuple(variables), structs, opaque, _parse_constants(code))


def parse_exports(text, api="VELKOR_API"):
    """The (functions, variables) declared with the API macro, in header order."""
    parsed = parse_header(text, api)
    return parsed.functions, parsed.variables


def render_table(parsed, header="include/Velkor.h"):
    """The text of a table module for a parsed header."""
    lines = [
        '"""The exports of a library as its public header declares them.',
        "",
        "Generated from %s by velkor/header.py; do not edit by hand." % header,
        '"""',
        "",
        "# Handle types, passed as pointers only",
        "OPAQUE = %r" % (tuple(parsed.opaque),),
        "",
        "# (name, ((field, type, array length or 0), ...)), in header order",
        "STRUCTS = (",
    ]
    lines += ["    (%r, %r)," % (name, fields) for name, fields in parsed.structs]
    lines += [")", "", "# (name, value) of the enumeration constants", "CONSTANTS = ("]
    lines += ["    (%r, %d)," % constant for constant in parsed.constants]
    lines += [")", "", "# (name, result type, ((parameter, type), ...))", "FUNCTIONS = ("]
    lines += ["    (%r, %r, %r)," % (f.name, f.result, tuple(f.params)) for f in parsed.functions]
    lines += [")", "", "# (name, type)", "VARIABLES = ("]
    lines += ["    (%r, %r)," % tuple(v) for v in parsed.variables]
    lines += [")", ""]
    return "\n".join(lines)


def generate(root, api, header, table):
    """Writes one table from its header under the source tree ``root``."""
    with open(os.path.join(root, header), encoding="utf-8") as source:
        parsed = parse_header(source.read(), api)
    with open(os.path.join(root, table), "w", encoding="utf-8") as out:
        out.write(render_table(parsed, header))
    return parsed


def main(argv):
    if argv[1:] != ["--all"]:
        sys.stderr.write("usage: python3 python/velkor/header.py --all   (regenerates every table from its header)\n")
        return 2
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    for api, header, table in TABLES:
        parsed = generate(root, api, header, table)
        print("%s: %d functions, %d variables, %d structures -> %s"
              % (header, len(parsed.functions), len(parsed.variables), len(parsed.structs), table))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
