"""The interrupt factor and error bit names of velkor.bits and of the page
against the one table every format is checked against
(tests/names/bit_names.txt)."""

import pathlib
import re

import pytest

from velkor.bits import ErrorBits, InterruptFactor

ROOT = pathlib.Path(__file__).resolve().parents[2]


def _rows():
    lines = (ROOT / "tests" / "names" / "bit_names.txt").read_text().splitlines()[1:-1]
    rows = []
    for line in lines:
        if line and not line.startswith("#"):
            kind, bits, *names = line.split()
            rows.append((kind, int(bits, 16), names))
    return rows


ROWS = _rows()


@pytest.mark.parametrize("kind, bits, names", ROWS, ids=[r[2][0] for r in ROWS])
def test_python_spells_each_bit_as_the_table(kind, bits, names):
    flag = InterruptFactor if kind == "factor" else ErrorBits
    assert str(flag(bits)) == names[0].upper()
    for name in names:
        assert flag[name.upper()] == bits


def test_the_page_names_error_bits_as_the_table():
    # The page names the bits of a sample's error word itself (samples carry
    # the word alone); the library's own 0x0100 never reaches it.
    text = (ROOT / "web" / "src" / "model.js").read_text()
    page = {int(b, 16): n for b, n in re.findall(r"\[0x([0-9A-Fa-f]+), '(\w+)'\]", text)}
    table = {bits: names[0] for kind, bits, names in ROWS if kind == "error" and bits != 0x0100}
    assert page == table
