"""The raw layer against the headers: the committed tables are what the
generator makes of the headers now, the C compiler accepts every signature of
the table against the real header, and the loaded library has every export
with the declared types."""

import ctypes

import pytest

from conftest import ROOT
from velkor import _exports, _sim_exports, header, raw


@pytest.mark.parametrize("api, source, table", header.TABLES)
def test_committed_table_is_generated_from_the_header(api, source, table):
    parsed = header.parse_header((ROOT / source).read_text(encoding="utf-8"), api)
    expected = header.render_table(parsed, source)
    assert (ROOT / table).read_text(encoding="utf-8") == expected, \
        "%s is out of date: run `python3 python/velkor/header.py --all`" % table


def test_the_table_has_all_150_exports():
    names = [f[0] for f in _exports.FUNCTIONS] + [v[0] for v in _exports.VARIABLES]
    assert len(names) == 150 and len(set(names)) == 150
    assert _exports.VARIABLES == (("nVelkor", "int32_t"),)
    # A few signatures spelled out, one of each kind of parameter.
    table = {f[0]: f[1:] for f in _exports.FUNCTIONS}
    assert table["Velkor_GET_VERSION"] == ("uint16_t", ())
    assert table["Velkor_ARC_3D"][1][4] == ("midPoint", "const POINT_3D*")
    assert table["Velkor_READ_MD"] == ("void", (("cardNo", "uint8_t"), ("index", "int32_t"),
                                                ("intOut", "int32_t*"), ("floatOut", "float*")))
    assert table["StoB"][1][1] == ("value", "int16_t")


def test_the_compiler_accepts_every_signature_and_layout_of_the_tables(compile_c, tmp_path):
    # Each export assigned to a pointer of the table's type: any difference in
    # result, count or type of parameters is an incompatible pointer error.
    # Each structure's size and field offsets as ctypes lays them out: a
    # difference makes an array of negative size.
    lines = ["#include <stddef.h>", "#include <Velkor.h>", "#include <velkor_sim/velkor_sim.h>"]
    for tables in (_exports, _sim_exports):
        for name, kind in raw.build_structs(tables).items():
            lines.append("typedef char size_of_%s[sizeof(%s) == %d ? 1 : -1];" % (name, name, ctypes.sizeof(kind)))
            for field, _ in kind._fields_:
                lines.append("typedef char offset_of_%s_%s[offsetof(%s, %s) == %d ? 1 : -1];"
                             % (name, field, name, field, getattr(kind, field).offset))
        for name, value in getattr(tables, "CONSTANTS", ()):
            lines.append("typedef char value_of_%s[%s == %d ? 1 : -1];" % (name, name, value))
        for number, (name, result, params) in enumerate(tables.FUNCTIONS):
            args = ", ".join(kind for _, kind in params) or "void"
            lines.append("%s (*const check_%s)(%s) = %s;" % (result, name, args, name))
        for name, kind in tables.VARIABLES:
            lines.append("%s* const check_%s = &%s;" % (kind, name, name))
    source = tmp_path / "signatures.c"
    source.write_text("\n".join(lines) + "\n")
    compile_c(source, "signatures.o", ["-c", "-Werror=incompatible-pointer-types", "-Wno-unused-variable",
                                       "-Wno-unused-local-typedefs"])


@pytest.mark.parametrize("spelling, expected", [
    ("uint8_t", ctypes.c_uint8), ("int16_t", ctypes.c_int16), ("uint32_t", ctypes.c_uint32),
    ("int32_t", ctypes.c_int32), ("float", ctypes.c_float), ("void", None),
    ("const POINT_3D*", ctypes.POINTER(raw.POINT_3D)), ("uint16_t*", ctypes.POINTER(ctypes.c_uint16)),
    ("const uint8_t*", ctypes.POINTER(ctypes.c_uint8)), ("VelkorSimModule*", ctypes.c_void_p),
])
def test_c_types_map_to_ctypes_of_the_same_width(spelling, expected):
    assert raw.ctype(spelling, ("VelkorSimModule",)) is expected


def test_the_loaded_library_declares_every_export():
    library = raw.library()
    for name, result, params in _exports.FUNCTIONS:
        function = getattr(library, name)
        assert function.restype is raw.ctype(result), name
        assert list(function.argtypes) == [raw.ctype(kind) for _, kind in params], name
    assert library.names()[-1] == "nVelkor"


def test_point_3d_is_three_contiguous_int32():
    assert ctypes.sizeof(raw.POINT_3D) == 12
    assert [(n, getattr(raw.POINT_3D, n).offset) for n in "xyz"] == [("x", 0), ("y", 4), ("z", 8)]
    assert tuple(raw.POINT_3D(1, -2, 3)) == (1, -2, 3)


def test_nvelkor_is_the_librarys_variable():
    library = raw.library()
    before = library.nVelkor
    try:
        library.nVelkor = -77
        assert raw.nVelkor == -77
        assert ctypes.c_int32.in_dll(library.dll, "nVelkor").value == -77
    finally:
        library.nVelkor = before


def test_raw_calls_are_plain_ctypes():
    assert raw.Velkor_GET_VERSION() == 1809
    assert raw.FtoDW(1.0) == 0x3F800000 and raw.DWtoF(0xC0000000) == -2.0
    # No module in slot 7 and a card number above 7: refused, nothing raised.
    assert raw.Velkor_REGISTRATION(0, 7) == 0
    assert raw.Velkor_GET_LP(9, 1) == 0
    with pytest.raises(AttributeError):
        raw.Velkor_NO_SUCH_EXPORT


@pytest.mark.parametrize("line, message", [
    ("VELKOR_API void Velkor_X(uint8_t cardNo, ssize_t n);", "unknown type"),
    ("VELKOR_API void Velkor_X(uint8_t cardNo, POINT_4D* p);", "unknown type"),
    ("typedef struct H H;\nVELKOR_API void Velkor_X(H h);", "unsupported type"),
    ("typedef struct S { int a; double b[]; } S;", "cannot read field"),
    ("enum { A = 1, B };", "without a plain value"),
    ("VELKOR_API void Velkor_X(uint8_t** p);", "unsupported type"),
    ("VELKOR_API void Velkor_X(uint8_t cardNo, ...);", "cannot read parameter"),
    ("VELKOR_API unsigned Velkor_X(void);", "unknown type"),
    ("VELKOR_API void Velkor_X(void);\nVELKOR_API void Velkor_X(void);", "declared twice"),
])
def test_the_parser_refuses_what_it_cannot_declare_exactly(line, message):
    with pytest.raises(header.HeaderError, match=message):
        header.parse_exports(line)


def test_the_parser_reads_handles_structures_constants_and_other_api_macros():
    text = ("typedef struct Thing Thing;\n"
            "enum { THING_A = 0, /* first */ THING_B = 0x10 };\n"
            "typedef struct Part {\n  uint32_t size; /* bytes */\n  int32_t lp[4];\n} Part;\n"
            "typedef struct Whole { double time; Part parts[2]; } Whole;\n"
            "THING_API Thing* Thing_Make(double scale);\n"
            "THING_API size_t Thing_Take(Thing* thing, Whole* out, size_t capacity);\n"
            "THING_API const char* Thing_Name(int code);\n"
            "VELKOR_API void Velkor_Other(void);\n")
    parsed = header.parse_header(text, "THING_API")
    assert parsed.functions == (
        header.Export("Thing_Make", "Thing*", (("scale", "double"),)),
        header.Export("Thing_Take", "size_t", (("thing", "Thing*"), ("out", "Whole*"), ("capacity", "size_t"))),
        header.Export("Thing_Name", "const char*", (("code", "int"),)))
    assert parsed.structs == (("Part", (("size", "uint32_t", 0), ("lp", "int32_t", 4))),
                              ("Whole", (("time", "double", 0), ("parts", "Part", 2))))
    assert (parsed.opaque, parsed.constants, parsed.variables) == (("Thing",), (("THING_A", 0), ("THING_B", 16)), ())
    structs = raw.build_structs(type("Table", (), {"STRUCTS": parsed.structs}))
    whole = structs["Whole"](1.5, (structs["Part"](8, (1, 2, 3, 4)),))
    assert whole.as_dict() == {"time": 1.5, "parts": [{"size": 8, "lp": [1, 2, 3, 4]}, {"size": 0, "lp": [0] * 4}]}
    assert raw.ctype("const char*") is ctypes.c_char_p


def test_a_library_without_a_declared_export_is_refused_by_name(library_paths):
    table = type("Table", (), {"FUNCTIONS": (("Velkor_NOT_THERE", "void", ()),), "VARIABLES": ()})
    with pytest.raises(OSError, match="has no Velkor_NOT_THERE, which its header declares"):
        raw.Exports(library_paths["Velkor"], table)
