"""The export lists of the public headers, and the generator of the raw
layer's tables from them.

A header is the one list of its library's exports: every declaration that
starts with its API macro (``VELKOR_API`` for the driver library,
``VELKOR_SIM_API`` for the virtual module). ``parse_exports`` reads those
lines into ``Export`` records (name, result type, parameters as C type
strings); ``render_table`` writes the modules ``velkor/_exports.py`` and
``velkor/_sim_exports.py`` that the raw layers load, so that the package works
without the headers beside it. A test regenerates each table from its header
and fails when the committed one differs.

Regenerate after a change of a header (from the source tree's root):

    cd python && python3 -m velkor.header --all
"""

import os
import re
import sys
from collections import namedtuple

Export = namedtuple("Export", "name result params")
Export.__doc__ = "A function: its name, its result type and (name, type) parameters."
Variable = namedtuple("Variable", "name type")
Variable.__doc__ = "An exported variable: its name and type."

# The C types that may appear in the interface, by their spelling there.
SCALAR_TYPES = ("void", "char", "uint8_t", "int8_t", "uint16_t", "int16_t", "uint32_t", "int32_t", "uint64_t",
                "int64_t", "float", "double")
STRUCT_TYPES = ("POINT_3D",)

# The tables and the headers they come from, relative to the source tree.
TABLES = (
    ("VELKOR_API", "include/Velkor.h", "python/velkor/_exports.py"),
    ("VELKOR_SIM_API", "sim/include/velkor_sim/velkor_sim.h", "python/velkor/_sim_exports.py"),
)
_OPAQUE = re.compile(r"^\s*typedef\s+struct\s+(\w+)\s+(\w+)\s*;", re.M)

_FUNCTION = re.compile(r"^\w+\s+(?P<result>(?:const\s+)?[A-Za-z_]\w*\s*\**)\s*(?P<name>[A-Za-z_]\w*)\s*\((?P<params>[^)]*)\)\s*;")
_VARIABLE = re.compile(r"^\w+\s+extern\s+(?P<type>[A-Za-z_]\w*)\s+(?P<name>[A-Za-z_]\w*)\s*;")
_PARAM = re.compile(r"^(?P<type>(?:const\s+)?[A-Za-z_]\w*\s*\**)\s*(?P<name>[A-Za-z_]\w*)$")


class HeaderError(ValueError):
    """A VELKOR_API line that the parser cannot read."""


def _normalise_type(text, opaque=()):
    """'const  POINT_3D *' -> 'const POINT_3D*'; checks the base type is known.
    An opaque handle type (declared but never defined) is only taken as a
    pointer."""
    text = " ".join(text.replace("*", " * ").split())
    pointer = text.count("*")
    base = text.replace("*", "").split()
    const = base[:1] == ["const"]
    if const:
        base = base[1:]
    if len(base) != 1 or base[0] not in SCALAR_TYPES + STRUCT_TYPES + tuple(opaque):
        raise HeaderError("unknown type %r" % text)
    if pointer > 1 or (base[0] in STRUCT_TYPES + tuple(opaque) and pointer == 0):
        raise HeaderError("unsupported type %r" % text)
    return ("const " if const else "") + base[0] + "*" * pointer


def opaque_types(text):
    """The handle types a header declares as `typedef struct X X;`."""
    return tuple(name for tag, name in _OPAQUE.findall(text) if tag == name)


def _parse_params(text, where, opaque):
    text = text.strip()
    if text in ("", "void"):
        return ()
    params = []
    for piece in text.split(","):
        match = _PARAM.match(piece.strip())
        if not match:
            raise HeaderError("%s: cannot read parameter %r" % (where, piece.strip()))
        params.append((match.group("name"), _normalise_type(match.group("type"), opaque)))
    return tuple(params)


def parse_exports(text, api="VELKOR_API"):
    """Returns (functions, variables) declared with the API macro, in header order."""
    functions, variables = [], []
    opaque = opaque_types(text)
    for number, line in enumerate(text.splitlines(), 1):
        if line.split(None, 1)[:1] != [api]:
            continue
        where = "line %d" % number
        variable = _VARIABLE.match(line)
        if variable:
            variables.append(Variable(variable.group("name"), _normalise_type(variable.group("type"), opaque)))
            continue
        function = _FUNCTION.match(line)
        if not function:
            raise HeaderError("%s: cannot read %r" % (where, line))
        functions.append(Export(function.group("name"), _normalise_type(function.group("result"), opaque),
                                _parse_params(function.group("params"), where, opaque)))
    names = [f.name for f in functions] + [v.name for v in variables]
    if len(set(names)) != len(names):
        raise HeaderError("an export is declared twice")
    return tuple(functions), tuple(variables)


def render_table(functions, variables, header="include/Velkor.h", opaque=()):
    """The text of a table module for the given exports."""
    lines = [
        '"""The exports of a library as its public header declares them.',
        "",
        "Generated from %s by velkor/header.py; do not edit by hand." % header,
        '"""',
        "",
        "# Handle types, passed as pointers only",
        "OPAQUE = %r" % (tuple(opaque),),
        "",
        "# (name, result type, ((parameter, type), ...))",
        "FUNCTIONS = (",
    ]
    for f in functions:
        lines.append("    (%r, %r, %r)," % (f.name, f.result, tuple(f.params)))
    lines += [")", "", "# (name, type)", "VARIABLES = ("]
    lines += ["    (%r, %r)," % tuple(v) for v in variables]
    lines += [")", ""]
    return "\n".join(lines)


def generate(root, api, header, table):
    """Writes one table from its header under the source tree ``root``."""
    with open(os.path.join(root, header), encoding="utf-8") as source:
        text = source.read()
    functions, variables = parse_exports(text, api)
    with open(os.path.join(root, table), "w", encoding="utf-8") as out:
        out.write(render_table(functions, variables, header, opaque_types(text)))
    return len(functions), len(variables)


def main(argv):
    if argv[1:] != ["--all"]:
        sys.stderr.write("usage: python3 -m velkor.header --all   (regenerates every table from its header)\n")
        return 2
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    for api, header, table in TABLES:
        functions, variables = generate(root, api, header, table)
        print("%s: %d functions, %d variables -> %s" % (header, functions, variables, table))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
