"""A run's verdict from what ``velkor run`` printed: the checks that failed,
how the program ended, where it hung, and the position bounds passed. The
signature of a failed run names which invariant or check failed and how,
without what varies from run to run (times, positions measured), so that
runs failing the same way fall in one group.
"""

import re

_EXITED = re.compile(r"^velkor run: .* exited with (-?\d+)$")
_SIGNALLED = re.compile(r"^velkor run: .* was ended by signal (\d+) \(([^)]*)\)$")
_RESULT = re.compile(r"^  (PASS|FAIL)  (.*?): (.*) \(expected (.*)\)$")
_EVENT = re.compile(r"^  event '(.*)' at ([-\d.]+) s \(slot (\d+)\)$")
BOUND_PREFIX = "beyond: "
INVARIANT_PREFIX = "invariant: "


def _wait(text):
    """Where a hung program waits, by kind: the command it waits on and the
    event that made the module fail vary with the moment, not the kind."""
    text = re.sub(r" \(the event '[^']*' at [-\d.]+ s [^)]*\)", "", text)
    text = re.sub(r"\b[A-Z][A-Z0-9_]* \((a packet|a query or control code)\)", r"\1", text)
    text = re.sub(r", with [^;]* behind it", "", text)
    return re.sub(r"\b\d+\.\d+ s\b", "T s", text)


def _split(line, names):
    """(verdict, name, measured) of a check's line, the name the longest of
    the known names it starts with (a name may hold ': ')."""
    m = _RESULT.match(line)
    if not m:
        return None
    rest = line[len("  PASS  "):]
    for name in sorted(names, key=len, reverse=True):
        if rest.startswith(name + ": "):
            return m.group(1), name, rest[len(name) + 2:].rsplit(" (expected ", 1)[0]
    return m.group(1), m.group(2), m.group(3)


def failures(outcome, allowed_exit_codes, no_hang, no_crash, names=()):
    """The failures of a run (sorted, each a short text); none: it passed.
    ``names``: the names of the scenario's checks."""
    found = set()
    code = outcome.get("code")
    if code is None:
        return []
    lines = outcome["output"].splitlines()
    exit_code = signal = None
    for line in lines:
        m = _EXITED.match(line)
        if m:
            exit_code = int(m.group(1))
        m = _SIGNALLED.match(line)
        if m:
            signal = (int(m.group(1)), m.group(2))
    hung = any(line == "velkor run: the time limit ended the program" for line in lines)
    if code == 2 and exit_code is None and signal is None:
        first = next((l for l in lines if l.startswith("velkor run:")), lines[0] if lines else "")
        return ["refused: " + first]
    if "velkor campaign: velkor run did not end" in outcome["output"]:
        found.add("hang: velkor run itself did not end")
    for line in lines:
        split = _split(line, names)
        if split and split[0] == "FAIL":
            name, measured = split[1], split[2]
            if name == "time limit":
                if no_hang:
                    found.add("hang: " + _wait(measured.replace("the run reached the time limit: ", "")))
                continue
            if measured.startswith("errors"):
                found.add("check '%s': %s" % (name, measured))
            else:
                found.add("check '%s' failed" % name)
        m = _EVENT.match(line)
        if m and m.group(1).startswith(BOUND_PREFIX):
            found.add("position %s (slot %s)" % (m.group(1)[len(BOUND_PREFIX):], m.group(3)))
    if signal is not None and no_crash:
        found.add("crash: signal %d (%s)" % signal)
    elif (exit_code is not None and not hung and allowed_exit_codes is not None
          and exit_code not in allowed_exit_codes):
        found.add("exit code %d" % exit_code)
    return sorted(found)


def signature(found):
    return " + ".join(found)
