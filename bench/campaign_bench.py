#!/usr/bin/env python3
"""Campaign speed: runs per second of a program that drives about 2
simulated seconds (bench/programs/axes_move.c), with 1 and 2 local workers
and on a Dask cluster of 2 workers on the loopback address; and the fast
clock's pace on a four-axis move, for the module alone.

    VELKOR_BUILD_DIR=build/plain /usr/bin/python3 bench/campaign_bench.py [--runs 100] [--no-dask]

Debian's python3, which has Dask (python3-distributed); the workers are
started with the same interpreter.

The figures are printed, not checked: the machine's load decides them.
"""

import argparse
import json
import os
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "python"))

from velkor import campaign  # noqa: E402

BUILD = Path(os.environ.get("VELKOR_BUILD_DIR", ROOT / "build" / "plain")).resolve()
TOOL = BUILD / "tools" / "velkor"
PROGRAM = BUILD / "bench" / "velkor_axes_move"

# Every run passes: a general input switched on at a drawn moment.
CAMPAIGN = """[campaign]
name = "speed"
runs = %d
seed = 1
time_limit = 30
[slot.3]
[[vary]]
when = { time = { range = [0.0, 2.0] } }
do = [ { input = { range = [8, 15] }, axis = 1, on = true } ]
[[invariant]]
exit_code = 0
"""


def rate(path, runs, **where):
    c = campaign.Campaign(path)
    started = time.monotonic()
    result = c.run([str(PROGRAM), "2"], tool=str(TOOL), progress=False, reduce=False, **where)
    seconds = time.monotonic() - started
    assert result.failed == 0, result.verdict_list()
    return runs / seconds, result.verdict_list()


def dask_rate(path, runs, folder):
    log = open(Path(folder) / "dask.log", "w")
    file = Path(folder) / "scheduler.json"
    start = dict(stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
    processes = [subprocess.Popen([sys.executable, "-m", "distributed.cli.dask_scheduler", "--host", "127.0.0.1",
                                   "--port", "0", "--dashboard-address", "127.0.0.1:0", "--scheduler-file",
                                   str(file)], **start)]
    try:
        deadline = time.monotonic() + 60
        while not file.exists() and time.monotonic() < deadline:
            time.sleep(0.2)
        address = json.loads(file.read_text())["address"]
        for _ in range(2):
            processes.append(subprocess.Popen([sys.executable, "-m", "distributed.cli.dask_worker", address,
                                               "--nthreads", "1", "--host", "127.0.0.1", "--dashboard-address",
                                               "127.0.0.1:0", "--local-directory", folder], **start))
        from distributed import Client
        with Client(address, timeout=30) as client:
            client.wait_for_workers(2, timeout=60)
        return rate(path, runs, scheduler=address)
    finally:
        for p in reversed(processes):
            os.killpg(p.pid, signal.SIGTERM)
            p.wait(timeout=20)
        log.close()


def pace():
    """The fast clock on a 100 s four-axis move: simulated s per real s."""
    done = subprocess.run([str(TOOL), "run", "--fast-as-possible", "--progress", "0", "--", str(PROGRAM), "100"],
                          capture_output=True, text=True, timeout=120)
    return done.stdout.strip()


def one_run_parts():
    """Where one run's time goes: the tool and process start alone (a
    program that ends at once), and the whole run of 2 simulated seconds."""
    def seconds(command, count=20):
        started = time.monotonic()
        for _ in range(count):
            subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        return (time.monotonic() - started) / count
    empty = seconds([str(TOOL), "run", "--progress", "0", "--", "/bin/true"])
    whole = seconds([str(TOOL), "run", "--fast-as-possible", "--progress", "0", "--time-limit", "30", "--",
                     str(PROGRAM), "2"])
    return empty, whole


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=100)
    parser.add_argument("--no-dask", action="store_true")
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "speed.toml"
        path.write_text(CAMPAIGN % options.runs)
        print("fast clock, module alone:", pace())
        empty, whole = one_run_parts()
        print("one run: velkor run of a program that ends at once %.1f ms; of 2 simulated s %.1f ms"
              % (empty * 1e3, whole * 1e3))
        one, v1 = rate(path, options.runs, workers=1)
        two, v2 = rate(path, options.runs, workers=2)
        assert v1 == v2
        print("local, 1 worker:  %.1f runs/s" % one)
        print("local, 2 workers: %.1f runs/s (%.2f times 1 worker)" % (two, two / one))
        if not options.no_dask:
            dask, v3 = dask_rate(path, options.runs, folder)
            assert v3 == v1
            print("Dask on 127.0.0.1, 2 workers: %.1f runs/s" % dask)


if __name__ == "__main__":
    main()
