"""Reading a campaign file (docs/campaigns.md): the [campaign] table, the
base scenario, the [[vary]] faults and the [[invariant]] table, checked
whole before anything runs. Every refusal names the file, the line, the
column and the field: ``FILE:LINE:COLUMN: FIELD: what is wrong``.

TOML is read with the standard library's ``tomllib``, which keeps no
places; ``Places`` finds a field's place in the text again from its path.
"""

import math
import re
import tomllib
from pathlib import Path

# What a run may draw from: a table with one of these keys and nothing else.
DRAWS = ("range", "one_of")

TRIGGERS = ("time", "crosses", "output", "factor", "packet", "after")
ACTIONS = ("input", "actuate", "move_switch", "drive_alarm", "jog", "handwheel", "busy", "drop_next_packet",
           "stop_answering")
CHECKS = ("lp", "ep", "errors", "following_error", "output", "factor", "time")
RUN_ENDS = ("exit_code", "no_hang", "no_crash", "position")
SCENARIO_TABLES = ("run", "slot", "event", "check")

CAMPAIGN_KEYS = {
    "name": str, "runs": int, "seed": int, "time_limit": (int, float), "faults": list, "engine": str,
    "workers": int, "scheduler": str, "base": str, "keep_passing": bool, "reduce_runs": int,
}
MOST_RUNS = 10_000_000
MOST_FAULTS = 64


def _place(refusal):
    """(line, column) of a refusal "FILE:LINE:COLUMN: ...", for the order."""
    m = re.search(r":(\d+):(\d+): ", refusal)
    return (int(m.group(1)), int(m.group(2))) if m else (0, 0)


class CampaignError(ValueError):
    """A campaign file that cannot be used; ``errors`` lists every refusal."""

    def __init__(self, errors):
        self.errors = sorted(errors, key=_place)
        super().__init__("\n".join(self.errors))


class Places:
    """Finds where a field of a TOML text stands: its key, in the table (or
    the N-th table of an array of tables) its path starts with."""

    _HEADER = re.compile(r"^\s*(\[\[?)\s*([^\]]+?)\s*\]\]?")

    def __init__(self, text):
        self.lines = text.splitlines()
        self.headers = []  # (name, line index, column)
        for number, line in enumerate(self.lines):
            m = self._HEADER.match(line)
            if m and not line.lstrip().startswith("#"):
                self.headers.append((m.group(2).replace(" ", ""), number, m.start(2) - len(m.group(1))))

    def _block(self, name, index, exact=True):
        """The lines of the index-th table called name (all of them with no
        index; or the first table under it, not exact)."""
        if index is not None:
            found = [h for h in self.headers if h[0] == name][index:index + 1]
        else:
            found = [h for h in self.headers if h[0] == name or (not exact and h[0].startswith(name + "."))]
        if not found:
            return None
        _, first, column = found[0]
        last = len(self.lines)
        for other, line, _ in self.headers:
            if line > first and not (other == name and index is None) and not other.startswith(name + "."):
                last = line
                break
        return first, column, last

    def find(self, path):
        """(line, column), both from 1, of the field at path (names and
        array indexes, as in ``vary[2].when.time``)."""
        parts = [p for p in path if not isinstance(p, int)]
        block = None
        if len(path) > 1 and isinstance(path[1], int):
            block, keys = self._block(path[0], path[1]), parts[1:]
        else:
            # The longest dotted table the path starts with ([slot.3.axis.1]).
            for cut in range(len(parts), 0, -1):
                block = self._block(".".join(parts[:cut]), None)
                if block is not None:
                    keys = parts[cut:]
                    break
            else:
                block, keys = self._block(parts[0], None, exact=False), []
        if block is None:
            block, keys = (0, 0, len(self.lines)), parts
        first, column, last = block
        line_at, col_at = first, column
        start = (first + 1, 0) if keys else None
        for key in keys:
            pattern = re.compile(r"(?<![\w-])" + re.escape(str(key)) + r"\s*=")
            hit = self._search(pattern, start, last)
            if hit is None:
                break
            line_at, col_at = hit
            start = (hit[0], hit[1] + 1)
        return line_at + 1, col_at + 1

    def _search(self, pattern, start, last):
        line, column = start
        while line < last:
            text = self.lines[line].split("#", 1)[0] if '"' not in self.lines[line] else self.lines[line]
            m = pattern.search(text, column)
            if m:
                return line, m.start()
            line, column = line + 1, 0
        return None


def field_name(path):
    out = ""
    for p in path:
        out += "[%d]" % p if isinstance(p, int) else ("." if out else "") + str(p)
    return out


class Reader:
    """Collects refusals with their places while the file is checked."""

    def __init__(self, file, text):
        self.file = file
        self.places = Places(text)
        self.errors = []

    def refuse(self, path, message):
        line, column = self.places.find(path)
        self.errors.append("%s:%d:%d: %s: %s" % (self.file, line, column, field_name(path), message))


def _kind(value):
    return {bool: "a boolean", int: "a whole number", float: "a number", str: "a string", list: "an array",
            dict: "a table"}.get(type(value), type(value).__name__)


def _is_number(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool) and math.isfinite(v)


def check_draws(reader, path, value):
    """A value with draws in it: {range = [LOW, HIGH]} or {one_of = [...]}
    anywhere, nested in what a one_of offers."""
    if isinstance(value, dict):
        drawn = [k for k in value if k in DRAWS]
        if drawn:
            if len(value) != 1:
                reader.refuse(path + [drawn[0]], "a draw is a table of one key: range or one_of")
                return
            key = drawn[0]
            options = value[key]
            if key == "range":
                if (not isinstance(options, list) or len(options) != 2 or not all(_is_number(v) for v in options)):
                    reader.refuse(path + [key], "a range is [LOW, HIGH], two numbers")
                elif options[0] > options[1]:
                    reader.refuse(path + [key], "the range's low end %r is above its high end %r" % tuple(options))
            else:
                if not isinstance(options, list) or not options:
                    reader.refuse(path + [key], "one_of is a non-empty array of the values to draw from")
                else:
                    for i, o in enumerate(options):
                        check_draws(reader, path + [key, i], o)
            return
        for k, v in value.items():
            check_draws(reader, path + [k], v)
    elif isinstance(value, list):
        for i, v in enumerate(value):
            check_draws(reader, path + [i], v)


def _offered(value):
    """Every form a drawn value may take: the tables a one_of offers."""
    if isinstance(value, dict) and set(value) == {"one_of"} and isinstance(value["one_of"], list):
        out = []
        for o in value["one_of"]:
            out.extend(_offered(o))
        return out
    return [value]


def check_vary(reader, index, vary):
    path = ["vary", index]
    if not isinstance(vary, dict):
        reader.refuse(path, "a [[vary]] entry is a table")
        return
    for key in vary:
        if key not in ("name", "slot", "when", "do", "weight"):
            reader.refuse(path + [key], "unknown key; a [[vary]] entry takes name, slot, when, do and weight")
    if "name" in vary and not isinstance(vary["name"], str):
        reader.refuse(path + ["name"], "a name is a string, not %s" % _kind(vary["name"]))
    weight = vary.get("weight", 1)
    if not _is_number(weight) or weight <= 0:
        reader.refuse(path + ["weight"], "a weight is a number above 0")
    for key in ("when", "do"):
        if key not in vary:
            reader.refuse(path, "a [[vary]] entry needs '%s'" % key)
    check_draws(reader, path, {k: v for k, v in vary.items() if k != "name"})
    if "slot" in vary:
        for s in _offered(vary["slot"]):
            if not (isinstance(s, int) and not isinstance(s, bool)) and not (isinstance(s, dict) and "range" in s):
                reader.refuse(path + ["slot"], "a slot is a whole number 1 to 7 (or a draw of them)")
    when = vary.get("when")
    if when is not None:
        for trigger in [t for w in (when if isinstance(when, list) else [when]) for t in _offered(w)]:
            if not isinstance(trigger, dict) or not any(k in trigger for k in TRIGGERS):
                reader.refuse(path + ["when"], "a trigger is a table with one of: " + ", ".join(TRIGGERS))
    do = vary.get("do")
    if do is not None:
        if isinstance(do, dict) and "one_of" not in do:
            do = [do]
        actions = _offered(do) if isinstance(do, dict) else do
        if not isinstance(actions, list) or not actions:
            reader.refuse(path + ["do"], "'do' is an array of actions, one table each")
            return
        for i, action in enumerate(actions):
            for a in _offered(action):
                if isinstance(a, list):
                    continue  # a one_of of whole action lists
                if not isinstance(a, dict) or not any(k in a for k in ACTIONS):
                    reader.refuse(path + ["do", i], "an action is a table with one of: " + ", ".join(ACTIONS))


def check_invariant(reader, index, inv):
    path = ["invariant", index]
    if not isinstance(inv, dict):
        reader.refuse(path, "an [[invariant]] entry is a table")
        return
    kinds = [k for k in inv if k in CHECKS + RUN_ENDS]
    for key in inv:
        if key not in CHECKS + RUN_ENDS + ("name", "slot"):
            reader.refuse(path + [key], "unknown key; an invariant is one of: " + ", ".join(RUN_ENDS + CHECKS))
    if len(kinds) != 1:
        reader.refuse(path, "an invariant holds one of: " + ", ".join(RUN_ENDS + CHECKS) +
                      (" (this one has %s)" % ", ".join(kinds) if kinds else ""))
        return
    kind = kinds[0]
    value = inv[kind]
    if kind == "exit_code":
        codes = value if isinstance(value, list) else [value]
        if not codes or not all(isinstance(c, int) and not isinstance(c, bool) and 0 <= c <= 255 for c in codes):
            reader.refuse(path + [kind], "the exit codes allowed: a whole number 0 to 255, or an array of them")
    elif kind in ("no_hang", "no_crash"):
        if value is not True:
            reader.refuse(path + [kind], "%s = true (leave it out to allow it)" % kind)
    elif kind == "position":
        if not isinstance(value, dict):
            reader.refuse(path + [kind], "position = { axis = A, min = PULSES, max = PULSES }")
            return
        for k in value:
            if k not in ("axis", "min", "max"):
                reader.refuse(path + [kind, k], "unknown key; position takes axis, min and max")
        axis = value.get("axis")
        if not (isinstance(axis, int) and not isinstance(axis, bool) and 1 <= axis <= 4):
            reader.refuse(path + [kind, "axis"], "the axis is 1 to 4")
        if "min" not in value and "max" not in value:
            reader.refuse(path + [kind], "position needs min, max or both")
        for k in ("min", "max"):
            if k in value and not (isinstance(value[k], int) and not isinstance(value[k], bool)
                                   and -2**31 < value[k] < 2**31 - 1):
                reader.refuse(path + [kind, k], "a whole number of pulses, 32-bit")
        if isinstance(value.get("min"), int) and isinstance(value.get("max"), int) and value["min"] > value["max"]:
            reader.refuse(path + [kind, "min"], "min %d is above max %d" % (value["min"], value["max"]))
    if "name" in inv and not isinstance(inv["name"], str):
        reader.refuse(path + ["name"], "a name is a string, not %s" % _kind(inv["name"]))


def check_campaign(reader, table, file_has_tables):
    path = ["campaign"]
    if not isinstance(table, dict):
        reader.refuse(path, "the file needs a [campaign] table")
        return
    for key, value in table.items():
        want = CAMPAIGN_KEYS.get(key)
        if want is None:
            reader.refuse(path + [key], "unknown key; [campaign] takes " + ", ".join(CAMPAIGN_KEYS))
        elif not isinstance(value, want) or (isinstance(value, bool) and want is not bool):
            reader.refuse(path + [key], "expected %s, got %s" % (
                _kind(want() if isinstance(want, type) else 0), _kind(value)))
    if "runs" not in table:
        reader.refuse(path, "[campaign] needs runs (how many runs)")

    def number_in(key, low, high, whole=True, above=False):
        v = table.get(key)
        if v is None or not _is_number(v) or (whole and not isinstance(v, int)):
            return
        if v < low or v > high or (above and v <= low):
            reader.refuse(path + [key], "%s %r is out of range: %s %s, at most %s" % (
                key, v, "more than" if above else "at least", low, high))

    number_in("runs", 1, MOST_RUNS)
    number_in("seed", 0, 2**64 - 1)
    number_in("time_limit", 0, 86400, whole=False, above=True)
    number_in("workers", 0, 1024)
    number_in("reduce_runs", 0, 100000)
    faults = table.get("faults")
    if isinstance(faults, list):
        if (len(faults) != 2 or not all(isinstance(f, int) and not isinstance(f, bool) for f in faults)
                or not 0 <= faults[0] <= faults[1] <= MOST_FAULTS):
            reader.refuse(path + ["faults"], "faults per run is [FROM, TO], whole numbers 0 <= FROM <= TO <= %d"
                          % MOST_FAULTS)
    engine = table.get("engine")
    if isinstance(engine, str) and engine not in ("local", "dask"):
        reader.refuse(path + ["engine"], "the engine is \"local\" or \"dask\", not %r" % engine)
    scheduler = table.get("scheduler")
    if isinstance(scheduler, str) and scheduler and not re.match(r"^(tcp|tls|inproc|ws|wss|ucx)://\S+$", scheduler):
        reader.refuse(path + ["scheduler"], "a scheduler address is tcp://HOST:PORT, not %r" % scheduler)
    if engine == "dask" and not scheduler:
        reader.refuse(path + ["engine"], "the dask engine needs scheduler = \"tcp://HOST:PORT\"")
    if "base" in table and file_has_tables:
        reader.refuse(path + ["base"], "the base scenario is a file (base) or tables in this file, not both")


def read_text(path):
    try:
        raw = Path(path).read_bytes()
    except OSError as e:
        raise CampaignError(["%s: %s" % (path, e.strerror or e)]) from None
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError as e:
        line = raw[:e.start].count(b"\n") + 1
        column = e.start - (raw.rfind(b"\n", 0, e.start) + 1) + 1
        raise CampaignError(["%s:%d:%d: not UTF-8" % (path, line, column)]) from None


def parse_toml(file, text):
    try:
        return tomllib.loads(text)
    except tomllib.TOMLDecodeError as e:
        message = str(e)
        m = re.search(r"\(at line (\d+), column (\d+)\)", message)
        where = "%s:%s:%s" % (file, m.group(1), m.group(2)) if m else "%s:1:1" % file
        raise CampaignError(["%s: %s" % (where, re.sub(r"\s*\(at (line \d+, column \d+|end of document)\)", "",
                                                        message))]) from None
