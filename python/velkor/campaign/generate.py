"""The runs of a campaign: the faults each run draws from the seed, and the
plain scenario file each run is.

A fault is the [[vary]] entry it came from and the values it drew, keyed by
their place in the entry (a path). The draws use Python's own seeded
generator, ``random.Random`` seeded with the text "velkor-campaign:SEED:RUN",
whose sequence for a seed is fixed across Python versions and machines: the
same file and seed give the same scenarios wherever the runs go, and any run
can be made again alone.
"""

import json
import random
import re

from .campaign_file import DRAWS

TIME_DIGITS = 3  # drawn non-whole values are kept to a thousandth (a motion step)


class Fault:
    """One drawn fault: the [[vary]] entry and its values by path."""

    def __init__(self, vary_index, values):
        self.vary = vary_index
        self.values = dict(values)

    def with_value(self, path, value):
        values = dict(self.values)
        values[path] = value
        return Fault(self.vary, values)

    def key(self):
        return (self.vary, tuple(sorted((p, repr(v)) for p, v in self.values.items())))

    def __eq__(self, other):
        return isinstance(other, Fault) and self.key() == other.key()

    def __hash__(self):
        return hash(self.key())


def simplest(draw):
    """The value a draw is reduced towards: the start of its range, the
    first of its choices."""
    kind, options = next(iter(draw.items()))
    return options[0] if kind == "range" else 0


def _draw(rng, draw):
    kind, options = next(iter(draw.items()))
    if kind == "one_of":
        return rng.randrange(len(options))
    low, high = options
    if isinstance(low, int) and isinstance(high, int):
        return rng.randint(low, high)
    return round(rng.uniform(low, high), TIME_DIGITS)


def is_draw(value):
    return isinstance(value, dict) and len(value) == 1 and next(iter(value)) in DRAWS


def materialize(template, values, rng=None, path=()):
    """The template with its draws replaced by values: those in ``values``
    (keyed by path), else drawn with ``rng`` (and added to ``values``), else
    the simplest."""
    if is_draw(template):
        if path not in values:
            values[path] = _draw(rng, template) if rng is not None else simplest(template)
        kind, options = next(iter(template.items()))
        if kind == "one_of":
            index = min(max(int(values[path]), 0), len(options) - 1)
            return materialize(options[index], values, rng, path + (index,))
        return values[path]
    if isinstance(template, dict):
        return {k: materialize(v, values, rng, path + (k,)) for k, v in template.items()}
    if isinstance(template, list):
        return [materialize(v, values, rng, path + (i,)) for i, v in enumerate(template)]
    return template


def draw_run(campaign, run):
    """The faults of run number ``run`` (from 0) of the campaign."""
    rng = random.Random("velkor-campaign:%d:%d" % (campaign.seed, run))
    low, high = campaign.faults
    count = rng.randint(low, high)
    weights = [v.get("weight", 1) for v in campaign.vary]
    faults = []
    for _ in range(count if campaign.vary else 0):
        index = rng.choices(range(len(campaign.vary)), weights=weights)[0]
        values = {}
        materialize(campaign.templates[index], values, rng)
        faults.append(Fault(index, values))
    return faults


def fault_event(campaign, fault, number):
    """The [[event]] table of a fault."""
    vary = campaign.vary[fault.vary]
    body = materialize(campaign.templates[fault.vary], dict(fault.values))
    event = {"name": "fault %d: %s" % (number, vary.get("name", "vary %d" % (fault.vary + 1)))}
    if "slot" in body:
        event["slot"] = body["slot"]
    elif campaign.slots and len(campaign.slots) > 1:
        event["slot"] = campaign.slots[0]
    event["when"] = body["when"]
    do = body["do"]
    event["do"] = do if isinstance(do, list) else [do]
    return event


def describe(campaign, fault):
    """A fault in a few words: its entry's name and the values it drew."""
    vary = campaign.vary[fault.vary]
    body = materialize(campaign.templates[fault.vary], dict(fault.values))
    parts = [vary.get("name", "vary %d" % (fault.vary + 1))]
    parts.append("when " + inline(body["when"]))
    do = body["do"] if isinstance(body["do"], list) else [body["do"]]
    parts.append("do " + ", ".join(inline(a) for a in do))
    return ": ".join(parts[:1]) + " " + " ".join(parts[1:])


def scenario_document(campaign, faults):
    """The scenario of a run as TOML data: the base, the campaign's time
    limit, the fast clock on every slot, the faults as events, the
    invariants as checks (and as events at the position bounds)."""
    base = campaign.base
    doc = {}
    run = dict(base.get("run", {}))
    run["name"] = run.get("name", campaign.name)
    run["time_limit"] = campaign.time_limit
    doc["run"] = run
    slots = {k: dict(v) for k, v in base.get("slot", {}).items()}
    for s in campaign.slots:
        slots.setdefault(str(s), {})
    for s in slots.values():
        s.setdefault("clock", "fast")
    doc["slot"] = slots
    events = [dict(e) for e in base.get("event", [])]
    for i, fault in enumerate(faults):
        events.append(fault_event(campaign, fault, i + 1))
    events.extend(campaign.bound_events)
    checks = [dict(c) for c in base.get("check", [])] + [dict(c) for c in campaign.invariant_checks]
    if events:
        doc["event"] = events
    if checks:
        doc["check"] = checks
    return doc


def scenario_text(campaign, faults, heading):
    lines = ["# " + line if line else "#" for line in heading.splitlines()]
    return "\n".join(lines) + "\n" + emit(scenario_document(campaign, faults))


# --- TOML out: the scenario tables, their values inline ---

_BARE = re.compile(r"^[A-Za-z0-9_-]+$")


def _key(k):
    return k if _BARE.match(k) else json.dumps(k)


def inline(value):
    if isinstance(value, bool):
        return "true" if value else "false"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        text = repr(value)
        return text if any(c in text for c in ".en") else text + ".0"
    if isinstance(value, str):
        return json.dumps(value)
    if isinstance(value, list):
        return "[" + ", ".join(inline(v) for v in value) + "]"
    if isinstance(value, dict):
        return "{ " + ", ".join("%s = %s" % (_key(k), inline(v)) for k, v in value.items()) + " }" if value else "{}"
    raise TypeError("no TOML for %r" % (value,))


def _table(lines, path, table):
    plain = [(k, v) for k, v in table.items() if not isinstance(v, dict)]
    nested = [(k, v) for k, v in table.items() if isinstance(v, dict)]
    if plain or not nested:
        lines.append("")
        lines.append("[%s]" % ".".join(_key(p) for p in path))
        for k, v in plain:
            lines.append("%s = %s" % (_key(k), inline(v)))
    for k, v in nested:
        _table(lines, path + [k], v)


def emit(doc):
    lines = []
    for key, value in doc.items():
        if isinstance(value, dict):
            _table(lines, [key], value)
    for key, value in doc.items():
        if isinstance(value, list) and value and all(isinstance(v, dict) for v in value):
            for item in value:
                lines.append("")
                lines.append("[[%s]]" % _key(key))
                for k, v in item.items():
                    lines.append("%s = %s" % (_key(k), inline(v)))
        elif not isinstance(value, dict):
            lines.insert(0, "%s = %s" % (_key(key), inline(value)))
    return "\n".join(lines).lstrip("\n") + "\n"
