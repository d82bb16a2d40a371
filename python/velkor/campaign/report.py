"""What a campaign shows: the progress bar while it runs, and its report in
three forms, written to a folder:

- ``summary.txt``: runs, passes, the groups, each group's smallest scenario
  and the command that reruns it (also printed);
- ``junit.xml``: a test case per group and one for the whole campaign;
- ``index.html`` and ``group-N.html``: for each group its signature, the
  reduced scenario and the scope of its run drawn by ``velkor plot``;
- ``group-N.toml``: the reduced scenario, a plain scenario file;
  ``group-N.txt``: what its run printed; ``runs/run-K.toml`` and ``.txt``
  for each failed run (and the passing ones when asked).
"""

import html
import shlex
import subprocess
import sys
import time
from pathlib import Path
from xml.sax.saxutils import escape, quoteattr

from . import generate, runner


class Progress:
    """Runs done, failures found and the rate, on one line of a terminal
    (redrawn at most ten times a second), or a line every ten seconds and
    at the end elsewhere."""

    def __init__(self, total, enabled=None, stream=None):
        self.total = total
        self.stream = stream or sys.stderr
        self.tty = self.stream.isatty()
        self.enabled = self.tty if enabled is None else enabled
        self.started = time.monotonic()
        self.shown = 0.0
        self.width = 30

    def _line(self, result):
        elapsed = max(time.monotonic() - self.started, 1e-9)
        done = result.done
        filled = int(self.width * done / max(self.total, 1))
        return "[%s%s] %d/%d runs, %d failed, %.1f runs/s" % (
            "#" * filled, "." * (self.width - filled), done, self.total, result.failed, done / elapsed)

    def update(self, result):
        if not self.enabled:
            return
        now = time.monotonic()
        if now - self.shown < (0.1 if self.tty else 10.0):
            return
        self.shown = now
        self.stream.write(("\r" + self._line(result)) if self.tty else self._line(result) + "\n")
        self.stream.flush()

    def note(self, text):
        if self.enabled:
            self.stream.write(("\r\x1b[K" if self.tty else "") + text + "\n")
            self.stream.flush()

    def done(self, result):
        if self.enabled:
            self.stream.write(("\r\x1b[K" if self.tty else "") + self._line(result) +
                              (" (stopped)" if result.interrupted else "") + "\n")
            self.stream.flush()


def rerun_command(result, scenario_file):
    return " ".join(shlex.quote(p) for p in ["velkor", "run", "--scenario", str(scenario_file), "--"] +
                    result.program)


def summary(result, folder=None):
    c = result.campaign
    lines = []
    rate = result.done / result.seconds if result.seconds > 0 else 0.0
    lines.append("Campaign %s: %d of %d runs%s (seed %d, %s), %d passed, %d failed in %d group%s; "
                 "%.1f s, %.1f runs/s" % (
                     c.name, result.done, c.runs, " (stopped)" if result.interrupted else "", c.seed, result.engine,
                     result.done - result.failed, result.failed, len(result.groups()),
                     "" if len(result.groups()) == 1 else "s", result.seconds, rate))
    if not result.groups():
        faults = sum(len(f) for f in result.faults.values())
        lines.append("  nothing found: %d runs with %d faults drawn from %d [[vary]] entr%s, each run up to %g s"
                     % (result.done, faults, len(c.vary), "y" if len(c.vary) == 1 else "ies", c.time_limit))
    for g in result.groups():
        lines.append("")
        lines.append("Group %d: %s" % (g.number, g.signature))
        shown = ", ".join(str(r) for r in g.runs[:10]) + (", ..." if len(g.runs) > 10 else "")
        lines.append("  %d run%s: %s" % (len(g.runs), "" if len(g.runs) == 1 else "s", shown))
        if g.reduced_text is None:
            lines.append("  not reduced%s; its first run's %d fault%s:" % (
                " (the campaign was stopped)" if result.interrupted else "", len(g.faults),
                "" if len(g.faults) == 1 else "s"))
        else:
            lines.append("  reduced from %d to %d fault%s in %d run%s:" % (
                len(g.faults), len(g.reduced), "" if len(g.reduced) == 1 else "s", g.reduce_runs,
                "" if g.reduce_runs == 1 else "s"))
        for f in g.reduced:
            lines.append("    " + generate.describe(c, f))
        if not g.reduced:
            lines.append("    (none: the base scenario alone fails this way)")
        if folder is not None:
            lines.append("  scenario: %s" % (Path(folder) / ("group-%d.toml" % g.number)))
            lines.append("  rerun:    %s" % rerun_command(result, Path(folder) / ("group-%d.toml" % g.number)))
    return "\n".join(lines) + "\n"


def junit(result, folder):
    c = result.campaign
    groups = result.groups()
    cases = []
    for g in groups:
        message = "%d run%s: %s" % (len(g.runs), "" if len(g.runs) == 1 else "s", g.signature)
        body = "%s\nrerun: %s" % (message, rerun_command(result, Path(folder) / ("group-%d.toml" % g.number)))
        cases.append('    <testcase classname=%s name=%s>\n      <failure message=%s>%s</failure>\n'
                     '    </testcase>\n' % (quoteattr("campaign " + c.name), quoteattr("group %d: %s" % (
                         g.number, g.signature)), quoteattr(message), escape(body)))
    whole = "%d runs, %d passed, %d failed in %d groups%s" % (
        result.done, result.done - result.failed, result.failed, len(groups),
        " (stopped)" if result.interrupted else "")
    if groups or result.interrupted:
        inner = "      <failure message=%s>%s</failure>\n" % (quoteattr(whole), escape(whole))
    else:
        inner = "      <system-out>%s</system-out>\n" % escape(whole)
    cases.append('    <testcase classname=%s name="the whole campaign">\n%s    </testcase>\n' % (
        quoteattr("campaign " + c.name), inner))
    failures = len(groups) + (1 if groups or result.interrupted else 0)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<testsuites tests="%d" failures="%d">\n'
            '  <testsuite name=%s tests="%d" failures="%d" errors="0" time="%.3f">\n%s  </testsuite>\n'
            '</testsuites>\n' % (len(cases), failures, quoteattr("campaign " + c.name), len(cases), failures,
                                 result.seconds, "".join(cases)))


_STYLE = ("body{font-family:sans-serif;max-width:70em;margin:1em auto;padding:0 1em}"
          "pre{background:#f4f4f4;padding:.6em;overflow-x:auto}img{max-width:100%;border:1px solid #ccc}")


def _page(title, body):
    return ("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>%s</title><style>%s</style>"
            "</head><body>\n%s\n</body></html>\n" % (html.escape(title), _STYLE, body))


def scope_picture(result, group, folder):
    """Reruns the reduced scenario with the scope on, and draws the samples
    with velkor plot; the picture's file name, or None."""
    text = group.reduced_text or result.campaign.scenario(group.reduced)
    outcome = runner.run_scenario(result.tool, result.program, text, result.campaign.time_limit, scope=True)
    if not outcome.get("scope"):
        return None
    csv = Path(folder) / ("group-%d-scope.csv" % group.number)
    svg = Path(folder) / ("group-%d-scope.svg" % group.number)
    csv.write_text(outcome["scope"], encoding="utf-8")
    done = subprocess.run([result.tool, "plot", str(csv), "--svg", str(svg)], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    return svg.name if done.returncode == 0 and svg.exists() else None


def write_report(result, folder, pictures=True):
    folder = Path(folder)
    (folder / "runs").mkdir(parents=True, exist_ok=True)
    c = result.campaign
    for run in sorted(result.outcomes):
        outcome = result.outcomes[run]
        if outcome is None:
            continue
        heading = "velkor campaign %s: run %d (seed %d)%s" % (
            c.name, run, c.seed, "\n" + result.verdicts[run] if result.verdicts[run] else "")
        (folder / "runs" / ("run-%d.toml" % run)).write_text(c.scenario(result.faults[run], heading))
        (folder / "runs" / ("run-%d.txt" % run)).write_text(outcome["output"])
    index = ["<h1>Campaign %s</h1>" % html.escape(c.name),
             "<pre>%s</pre>" % html.escape(summary(result, folder))]
    if result.groups():
        index.append("<ul>")
    for g in result.groups():
        text = g.reduced_text or c.scenario(g.reduced, "velkor campaign %s: group %d\n%s" % (
            c.name, g.number, g.signature))
        (folder / ("group-%d.toml" % g.number)).write_text(text)
        if g.reduced_outcome is not None:
            (folder / ("group-%d.txt" % g.number)).write_text(g.reduced_outcome["output"])
        picture = scope_picture(result, g, folder) if pictures else None
        body = ["<p><a href=\"index.html\">campaign %s</a></p>" % html.escape(c.name),
                "<h1>Group %d</h1><p>%s</p>" % (g.number, html.escape(g.signature)),
                "<p>%d run%s (%s); reduced to %d fault%s in %d run%s.</p>" % (
                    len(g.runs), "" if len(g.runs) == 1 else "s",
                    ", ".join(str(r) for r in g.runs[:20]) + (", ..." if len(g.runs) > 20 else ""),
                    len(g.reduced), "" if len(g.reduced) == 1 else "s", g.reduce_runs,
                    "" if g.reduce_runs == 1 else "s"),
                "<h2>Rerun</h2><pre>%s</pre>" % html.escape(rerun_command(result, folder /
                                                                          ("group-%d.toml" % g.number))),
                "<h2>The reduced scenario</h2><pre>%s</pre>" % html.escape(text)]
        if picture:
            body.append("<h2>Its run's scope</h2><img src=\"%s\" alt=\"scope of the reduced run\">" % picture)
        elif pictures:
            body.append("<h2>Its run's scope</h2><p>The scope took no samples: no axis moved in this run.</p>")
        if g.reduced_outcome is not None:
            body.append("<h2>What velkor run printed</h2><pre>%s</pre>" % html.escape(g.reduced_outcome["output"]))
        (folder / ("group-%d.html" % g.number)).write_text(_page("group %d" % g.number, "\n".join(body)))
        index.append("<li><a href=\"group-%d.html\">group %d</a>: %s</li>" % (
            g.number, g.number, html.escape(g.signature)))
    if result.groups():
        index.append("</ul>")
    (folder / "index.html").write_text(_page("campaign " + c.name, "\n".join(index)))
    (folder / "junit.xml").write_text(junit(result, folder))
    (folder / "summary.txt").write_text(summary(result, folder))
    (folder / "verdicts.txt").write_text("".join("%d %s\n" % (run, sig or "pass")
                                                 for run, sig in result.verdict_list()))
    return folder
