"""One run of a campaign: a scenario file run by ``velkor run`` on the fast
clock with the time limit. This is what a Dask worker carries out, so it
uses the standard library alone and is sent to the workers whole (the
workers need the velkor tool and the program at the same paths, not this
package).
"""

import os
import signal
import subprocess
import tempfile
import time

# velkor run's own end is bounded by the time limit; beyond this margin it is
# taken as stuck and stopped.
MARGIN_SECONDS = 30


def run_scenario(tool, program, text, time_limit, scope=False, track=None):
    """Runs PROGRAM under ``velkor run --scenario`` with the scenario
    ``text``; returns {"code", "output", "seconds", "scope"} (the scope's
    CSV text when asked for; code None: not run). ``track(process, started)``
    hears of the process when it starts (a false answer: do not start) and
    when it ended."""
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="velkor-campaign-") as folder:
        path = os.path.join(folder, "scenario.toml")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        command = [tool, "run", "--fast-as-possible", "--progress", "0", "--scenario", path,
                   "--time-limit", repr(float(time_limit))]
        csv = os.path.join(folder, "scope.csv")
        if scope:
            command += ["--scope", csv]
        command += ["--"] + list(program)
        # A session of its own: the terminal's Ctrl-C reaches the campaign,
        # which ends its runs itself, and never a run's program directly.
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.STDOUT, start_new_session=True, cwd=folder)
        if track is not None and not track(process, True):
            process.send_signal(signal.SIGTERM)
        try:
            output, _ = process.communicate(timeout=float(time_limit) + MARGIN_SECONDS)
            stuck = False
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            output, _ = process.communicate()
            stuck = True
        finally:
            if track is not None:
                track(process, False)
        text_out = output.decode("utf-8", errors="replace")
        if stuck:
            text_out += "\nvelkor campaign: velkor run did not end %d s after the time limit; it was killed\n" \
                % MARGIN_SECONDS
        scope_text = None
        if scope and os.path.exists(csv):
            with open(csv, encoding="utf-8", errors="replace") as f:
                scope_text = f.read()
        return {"code": process.returncode, "output": text_out, "seconds": time.monotonic() - started,
                "scope": scope_text}

