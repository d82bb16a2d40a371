"""A campaign: the file read and checked, its runs drawn, sent to an engine,
judged, grouped by signature and each group reduced."""

import os
import re
import shutil
import time
from pathlib import Path

from . import campaign_file, generate, verdict
from .engines import engine_for
from .generate import Fault
from .campaign_file import CampaignError, Reader

DEFAULT_TIME_LIMIT = 10.0
DEFAULT_REDUCE_RUNS = 60


def find_tool():
    """The velkor tool: $VELKOR_TOOL (set by ``velkor campaign``), the
    build tree of $VELKOR_BUILD_DIR, the build tree this package sits in,
    else ``velkor`` on the PATH."""
    named = os.environ.get("VELKOR_TOOL")
    if named:
        return named
    places = []
    if os.environ.get("VELKOR_BUILD_DIR"):
        places.append(Path(os.environ["VELKOR_BUILD_DIR"]) / "tools" / "velkor")
    places.append(Path(__file__).resolve().parents[3] / "build" / "plain" / "tools" / "velkor")
    for place in places:
        if place.is_file() and os.access(place, os.X_OK):
            return str(place)
    found = shutil.which("velkor")
    if found:
        return found
    raise FileNotFoundError("the velkor tool was not found: set VELKOR_TOOL, or put velkor on the PATH")


class Campaign:
    """A campaign file, read whole; ``CampaignError`` lists every refusal."""

    def __init__(self, path, *, text=None):
        self.path = Path(path)
        self.file = str(path)
        text = campaign_file.read_text(path) if text is None else text
        data = campaign_file.parse_toml(self.file, text)
        reader = Reader(self.file, text)
        known = ("campaign", "vary", "invariant") + campaign_file.SCENARIO_TABLES
        for key in data:
            if key not in known:
                reader.refuse([key], "unknown table; a campaign file has " + ", ".join(known))
        inline_base = any(k in data for k in campaign_file.SCENARIO_TABLES)
        table = data.get("campaign")
        campaign_file.check_campaign(reader, table, inline_base)
        table = table if isinstance(table, dict) else {}
        vary = data.get("vary", [])
        if not isinstance(vary, list):
            reader.refuse(["vary"], "[[vary]] is an array of tables")
            vary = []
        for i, v in enumerate(vary):
            campaign_file.check_vary(reader, i, v)
        invariants = data.get("invariant", [])
        if not isinstance(invariants, list):
            reader.refuse(["invariant"], "[[invariant]] is an array of tables")
            invariants = []
        for i, inv in enumerate(invariants):
            campaign_file.check_invariant(reader, i, inv)
        if reader.errors:
            raise CampaignError(reader.errors)

        self.name = table.get("name", self.path.stem)
        self.runs = table.get("runs", 1)
        self.seed = table.get("seed", 0)
        self.time_limit = float(table.get("time_limit", DEFAULT_TIME_LIMIT))
        self.faults = tuple(table.get("faults", [1, 1]))
        self.workers = table.get("workers", 0)
        self.scheduler = table.get("scheduler") if table.get("engine") == "dask" else None
        self.keep_passing = table.get("keep_passing", False)
        self.reduce_runs = table.get("reduce_runs", DEFAULT_REDUCE_RUNS)
        self.vary = vary
        self.templates = [{k: v for k, v in entry.items() if k in ("slot", "when", "do")} for entry in vary]
        for t in self.templates:
            if isinstance(t.get("when"), list):
                t["when"] = {"one_of": t["when"]}
        if "base" in table:
            base_path = (self.path.parent / table["base"])
            self.base_file = str(base_path)
            base_text = campaign_file.read_text(base_path)
            self.base = campaign_file.parse_toml(self.base_file, base_text)
        else:
            self.base_file = None
            self.base = {k: data[k] for k in campaign_file.SCENARIO_TABLES if k in data}
        self._invariants(invariants)
        self.check_names = [c["name"] for c in self.base.get("check", []) + self.invariant_checks
                            if isinstance(c, dict) and isinstance(c.get("name"), str)]
        self._check_with_reader(text)

    def _invariants(self, invariants):
        self.allowed_exit_codes = None
        self.no_hang = not invariants
        self.no_crash = not invariants
        self.invariant_checks = []
        self.check_sources = []  # the invariant each check came from
        self.bound_events = []
        slots = sorted(int(s) for s in self.base.get("slot", {}) if str(s).isdigit())
        for entry in self.vary:
            s = entry.get("slot")
            if isinstance(s, int) and s not in slots:
                slots.append(s)
        self.slots = slots or [3]
        for i, inv in enumerate(invariants):
            name = inv.get("name")
            if "exit_code" in inv:
                codes = inv["exit_code"] if isinstance(inv["exit_code"], list) else [inv["exit_code"]]
                self.allowed_exit_codes = sorted(set(self.allowed_exit_codes or []) | set(codes))
            elif "no_hang" in inv:
                self.no_hang = True
            elif "no_crash" in inv:
                self.no_crash = True
            elif "position" in inv:
                p = inv["position"]
                slot = inv.get("slot", self.slots[0])
                for bound, direction, edge in (("max", "up", 1), ("min", "down", -1)):
                    if bound in p:
                        word = "above" if edge > 0 else "below"
                        self.bound_events.append({
                            "name": "%saxis %d %s %d" % (verdict.BOUND_PREFIX, p["axis"], word, p[bound]),
                            "slot": slot,
                            "when": {"axis": p["axis"], "crosses": p[bound] + edge, "direction": direction}})
            else:
                check = {"name": verdict.INVARIANT_PREFIX + (name or "invariant %d" % (i + 1))}
                check.update({k: v for k, v in inv.items() if k != "name"})
                self.invariant_checks.append(check)
                self.check_sources.append(i)
        if len(self.slots) == 1:
            for e in self.bound_events:
                e.pop("slot", None)

    def _check_with_reader(self, text):
        """Every scenario a run can be is read by the module's own scenario
        reader once, before anything runs: the base with every fault at the
        low and at the high end of its draws. What it refuses is reported at
        the campaign file's field that gave it."""
        try:
            from ..scenario import Scenario
            Scenario(text="")
        except Exception:  # noqa: BLE001 - no library here (a coordinator of a cluster): the workers refuse
            return
        if self.base_file is not None:
            try:
                Scenario(self.base_file).free()
            except Exception as e:  # noqa: BLE001
                raise CampaignError([str(e)]) from None
        reader = Reader(self.file, text)
        for index in range(len(self.vary)):
            for end in (0, -1):
                values = {}
                generate.materialize(self.templates[index], values, _Ends(end))
                faults = [Fault(index, values)]
                scenario = generate.scenario_text(self, faults, "check")
                try:
                    Scenario(text=scenario).free()
                except Exception as e:  # noqa: BLE001
                    self._refusal(reader, str(e), index)
                    break
        if not self.vary:
            try:
                Scenario(text=generate.scenario_text(self, [], "check")).free()
            except Exception as e:  # noqa: BLE001
                self._refusal(reader, str(e), None)
        if reader.errors:
            raise CampaignError(reader.errors)

    def _refusal(self, reader, message, vary_index):
        """Places a refusal of the scenario reader ("scenario:LINE:COL: FIELD:
        what") at the campaign file's field that made that part."""
        parts = message.split(": ", 2)
        field, what = (parts[1], parts[2]) if len(parts) == 3 else ("", message)
        path = [int(p[1:-1]) if p.startswith("[") else p for p in re.findall(r"[^.\[\]]+|\[\d+\]", field)]
        if len(path) >= 2 and path[0] == "event" and vary_index is not None:
            if path[1] >= len(self.base.get("event", [])):
                reader.refuse(["vary", vary_index] + path[2:], what)
                return
        if len(path) >= 2 and path[0] == "check":
            number = path[1] - len(self.base.get("check", []))
            if 0 <= number < len(self.check_sources):
                reader.refuse(["invariant", self.check_sources[number]] + path[2:], what)
                return
        reader.refuse(path or ["campaign"], what)

    # --- the runs ---

    def faults_of(self, run):
        return generate.draw_run(self, run)

    def scenario(self, faults, heading=""):
        return generate.scenario_text(self, faults, heading or "velkor campaign %s" % self.name)

    def judge(self, outcome):
        return verdict.failures(outcome, self.allowed_exit_codes, self.no_hang, self.no_crash, self.check_names)

    def run(self, program, *, runs=None, seed=None, workers=None, scheduler=None, report=None, reduce=True,
            progress=None, tool=None, keep_passing=None):
        """Runs the campaign against PROGRAM (a list: the program and its
        arguments); returns a ``Result``. ``report``: a folder to write the
        report in. Ctrl-C (KeyboardInterrupt) stops the runs; the result and
        the report then cover what ran."""
        from .report import Progress, write_report
        if runs is not None:
            self.runs = runs
        if seed is not None:
            self.seed = seed
        if keep_passing is not None:
            self.keep_passing = keep_passing
        tool = tool or find_tool()
        program = [str(p) for p in program]
        if program and os.sep in program[0]:
            program[0] = os.path.abspath(program[0])
        engine = engine_for(scheduler if scheduler is not None else self.scheduler,
                            workers if workers is not None else self.workers)
        result = Result(self, program, tool, engine.name)
        bar = Progress(self.runs, enabled=progress)
        started = time.monotonic()
        futures = {}
        try:
            futures = {engine.submit(tool, program, self.scenario(self.faults_of(i)), self.time_limit): i
                       for i in range(self.runs)}
            for future in engine.completed(list(futures)):
                if future.cancelled():
                    continue
                i = futures[future]
                outcome = future.result()
                result.add(i, self.faults_of(i), outcome, self.judge(outcome))
                bar.update(result)
            if reduce:
                for group in result.groups():
                    bar.note("reducing group %d: %s" % (group.number, group.signature))
                    self.reduce(group, engine, tool, program)
        except KeyboardInterrupt:
            result.interrupted = True
            engine.stop(list(futures))
            for future, i in futures.items():
                if future.done() and not future.cancelled() and i not in result.outcomes:
                    try:
                        outcome = future.result()
                    except Exception:  # noqa: BLE001 - a run ended by the stop
                        continue
                    if not result.interrupted_run(outcome):
                        result.add(i, self.faults_of(i), outcome, self.judge(outcome))
        finally:
            bar.done(result)
            result.seconds = time.monotonic() - started
            engine.close()
        if report is not None:
            write_report(result, report)
        return result

    def reduce(self, group, engine, tool, program):
        """Delta debugging over the faults of the group's first run, then each
        drawn value towards the simplest, while the run keeps the group's
        signature; at most ``reduce_runs`` runs."""
        budget = [self.reduce_runs]
        cache = {}

        def same(faults):
            key = tuple(f.key() for f in faults)
            if key in cache:
                return cache[key]
            if budget[0] <= 0:
                return False
            budget[0] -= 1
            group.reduce_runs += 1
            outcome = engine.submit(tool, program, self.scenario(faults), self.time_limit).result()
            found = verdict.signature(self.judge(outcome))
            cache[key] = found == group.signature
            if cache[key]:
                group.reduced_outcome = outcome
            return cache[key]

        faults = list(group.faults)
        group.reduced_outcome = group.first_outcome
        faults = ddmin(faults, same)
        for n in range(len(faults)):
            fault = faults[n]
            for path, value in sorted(fault.values.items(), key=lambda pv: repr(pv[0])):
                for candidate in simpler_values(self.templates[fault.vary], path, value):
                    trial = faults[:n] + [fault.with_value(path, candidate)] + faults[n + 1:]
                    if same(trial):
                        fault = trial[n]
                        faults = trial
                        break
        group.reduced = faults
        group.reduced_text = self.scenario(faults, "velkor campaign %s: group %d, reduced from run %d\n%s"
                                           % (self.name, group.number, group.runs[0], group.signature))


class _Ends:
    """Draws the low (0) or high (-1) end of every draw."""

    def __init__(self, end):
        self.end = end

    def randrange(self, n):
        return 0 if self.end == 0 else n - 1

    def randint(self, low, high):
        return low if self.end == 0 else high

    def uniform(self, low, high):
        return low if self.end == 0 else high


def ddmin(items, fails):
    """The classic delta debugging minimisation: drop halves, then smaller
    chunks, down to single items, while ``fails`` holds; first the empty
    set (the base alone)."""
    if items and fails([]):
        return []
    n = 2
    while len(items) >= 2:
        size = -(-len(items) // n)
        chunks = [items[i:i + size] for i in range(0, len(items), size)]
        for chunk in chunks:
            rest = [x for x in items if x not in chunk]
            if rest and fails(rest):
                items, n = rest, max(n - 1, 2)
                break
        else:
            if n >= len(items):
                break
            n = min(len(items), 2 * n)
    return items


def simpler_values(template, path, value):
    """The candidates for a drawn value, simplest first: the draw's simplest
    (start of the range, first choice), halfway there, then the value
    rounded to fewer digits."""
    node = template
    for p in path:
        node = node["one_of"][p] if generate.is_draw(node) else node[p]
    if not generate.is_draw(node):
        return []
    target = generate.simplest(node)
    out = []
    if value != target:
        out.append(target)
    if "range" in node and value != target:
        low, high = node["range"]
        mid = (target + value) / 2
        mid = int(mid) if isinstance(value, int) else round(mid, generate.TIME_DIGITS)
        if mid not in (target, value):
            out.append(mid)
        for digits in (1, 2):
            r = float("%.*g" % (digits, value))
            r = int(r) if isinstance(value, int) else r
            if low <= r <= high and r not in out and r != value:
                out.append(r)
    elif "one_of" in node:
        out.extend(i for i in range(1, value) if i not in out)
    return out


class Group:
    def __init__(self, number, signature, run, faults, outcome):
        self.number = number
        self.signature = signature
        self.runs = [run]
        self.faults = faults
        self.first_outcome = outcome
        self.reduced = faults
        self.reduced_text = None
        self.reduced_outcome = outcome
        self.reduce_runs = 0


class Result:
    def __init__(self, campaign, program, tool, engine):
        self.campaign = campaign
        self.program = program
        self.tool = tool
        self.engine = engine
        self.outcomes = {}
        self.faults = {}
        self.verdicts = {}  # run -> signature ("" passed)
        self.interrupted = False
        self.seconds = 0.0
        self._groups = {}

    def interrupted_run(self, outcome):
        return outcome.get("code") in (None, 143)

    def add(self, run, faults, outcome, found):
        sig = verdict.signature(found)
        self.verdicts[run] = sig
        self.faults[run] = faults
        if sig or self.campaign.keep_passing:
            self.outcomes[run] = outcome
        else:
            self.outcomes[run] = None
        if sig:
            group = self._groups.get(sig)
            if group is None:
                self._groups[sig] = Group(0, sig, run, faults, outcome)
            else:
                group.runs.append(run)
        return sig

    @property
    def done(self):
        return len(self.verdicts)

    @property
    def failed(self):
        return sum(1 for v in self.verdicts.values() if v)

    def groups(self):
        """The groups, in the order of their first run; each from its first
        run (the lowest number, whatever the order the runs ended in)."""
        ordered = sorted(self._groups.values(), key=lambda g: min(g.runs))
        for number, g in enumerate(ordered, 1):
            g.number = number
            first = min(g.runs)
            if g.runs[0] != first:
                g.runs.sort()
                g.faults = self.faults[first]
                g.first_outcome = self.outcomes[first]
                g.reduced = g.faults
                g.reduced_outcome = g.first_outcome
            g.runs.sort()
        return ordered

    def verdict_list(self):
        return [(run, self.verdicts[run]) for run in sorted(self.verdicts)]


def load(path):
    return Campaign(path)

