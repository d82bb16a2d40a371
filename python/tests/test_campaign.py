"""Campaigns (velkor.campaign, velkor campaign): the file's refusals, one
reduction of a planted weakness, and the documented example with the same
verdicts on the local engine and on a real Dask cluster on the loopback
address."""

import os
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest

from velkor import campaign

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("VELKOR_BUILD_DIR", ROOT / "build" / "plain"))
TOOL = BUILD / "tools" / "velkor"
HOMING = BUILD / "examples" / "example_home_then_move"
EXAMPLE = ROOT / "examples" / "campaigns" / "homing_faults.toml"

needs_build = pytest.mark.skipif(not (TOOL.exists() and HOMING.exists()),
                                 reason="the velkor tool and the examples are not built")

GOOD = """[campaign]
runs = 3
[slot.3.axis.1.switches]
home = [-12000, -11000]
[[vary]]
when = { time = { range = [0.0, 1.0] } }
do = [ { drive_alarm = 1, on = true } ]
"""


@pytest.mark.parametrize("text, refusal", [
    ("[campaign]\nruns = 0\n", "t.toml:2:1: campaign.runs: runs 0 is out of range"),
    ("[campaign]\nruns = 3\nsped = 1\n", "t.toml:3:1: campaign.sped: unknown key"),
    ("[campaign]\nruns = \"many\"\n", "t.toml:2:1: campaign.runs: expected a whole number, got a string"),
    ("[campaign]\nruns = 3\nfaults = [3, 1]\n", "t.toml:3:1: campaign.faults: faults per run is [FROM, TO]"),
    ("[campaign]\nruns = 3\nengine = \"dask\"\n", "t.toml:3:1: campaign.engine: the dask engine needs scheduler"),
    ("[campaign]\nruns = 3\nbase = \"x.toml\"\n[slot.3]\n", "t.toml:3:1: campaign.base: the base scenario is"),
    ("[campaign]\nruns = 3\n[[vary]]\nwhen = { time = { range = [4.0, 1.0] } }\ndo = [ { busy = 1.0 } ]\n",
     "t.toml:4:19: vary[0].when.time.range: the range's low end 4.0 is above its high end 1.0"),
    ("[campaign]\nruns = 3\n[[vary]]\nwhen = { time = { one_of = [] } }\ndo = [ { busy = 1.0 } ]\n",
     "t.toml:4:19: vary[0].when.time.one_of: one_of is a non-empty array"),
    ("[campaign]\nruns = 3\n[[vary]]\nwhen = { soon = 1 }\ndo = [ { busy = 1.0 } ]\n",
     "t.toml:4:1: vary[0].when: a trigger is a table with one of"),
    ("[campaign]\nruns = 3\n[[vary]]\nwhen = { time = 1.0 }\n", "t.toml:3:1: vary[0]: a [[vary]] entry needs 'do'"),
    ("[campaign]\nruns = 3\n[[vary]]\nwhen = { time = 1.0 }\ndo = [ { explode = true } ]\n",
     "t.toml:5:1: vary[0].do[0]: an action is a table with one of"),
    ("[campaign]\nruns = 3\n[[invariant]]\nexit_code = 300\n", "t.toml:4:1: invariant[0].exit_code: the exit codes"),
    ("[campaign]\nruns = 3\n[[invariant]]\nno_hang = false\n", "t.toml:4:1: invariant[0].no_hang: no_hang = true"),
    ("[campaign]\nruns = 3\n[[invariant]]\nposition = { axis = 5, max = 1 }\n",
     "t.toml:4:14: invariant[0].position.axis: the axis is 1 to 4"),
    ("[campaign]\nruns = 3\n[[invariant]]\nexit_code = 0\nno_crash = true\n",
     "t.toml:3:1: invariant[0]: an invariant holds one of"),
    ("[campaign]\nruns = 3\n[slots.3]\n", "t.toml:3:1: slots: unknown table"),
    ("[campaign]\nruns = 3\nruns = 4\n", "t.toml:3:"),
    # The module's scenario reader, placed at the campaign file's field:
    ("[campaign]\nruns = 3\n[[vary]]\nwhen = { time = 1.0 }\ndo = [ { drive_alarm = { range = [1, 9] }, on = true } ]\n",
     "t.toml:5:10: vary[0].do[0].drive_alarm: 9 is out of range 1 to 4"),
    ("[campaign]\nruns = 3\n[slot.3]\nspeed = 0\n", "t.toml:4:1: slot.3.speed: speed 0 is out of range"),
    ("[campaign]\nruns = 3\n[[invariant]]\nerrors = { axis = 1, forbidden = \"bogus\" }\n",
     "t.toml:4:22: invariant[0].errors.forbidden: unknown name"),
])
def test_refusals_name_file_line_column_and_field(tmp_path, text, refusal):
    path = tmp_path / "t.toml"
    path.write_text(text)
    with pytest.raises(campaign.CampaignError) as refused:
        campaign.Campaign(path)
    assert any(e.startswith(str(tmp_path / refusal.split(":", 1)[0]) + ":" + refusal.split(":", 1)[1])
               for e in refused.value.errors), refused.value.errors
    campaign.Campaign(tmp_path / "good.toml", text=GOOD)  # and the good file is taken


@needs_build
def test_a_planted_weakness_is_reduced_to_one_fault_at_its_simplest(tmp_path):
    # Harmless general inputs, and a drive alarm that stops home_then_move.
    path = tmp_path / "planted.toml"
    path.write_text("""[campaign]
runs = 4
seed = 7
faults = [3, 3]
time_limit = 20
[slot.3.axis.1.switches]
home = [-12000, -11000]
near_home = [-12000, -9000]
[[vary]]
name = "general input"
weight = 3
when = { time = { range = [0.1, 2.0] } }
do = [ { input = { range = [8, 15] }, axis = 1, on = true } ]
[[vary]]
name = "alarm"
when = { time = { range = [0.5, 2.5] } }
do = [ { drive_alarm = 1, on = true } ]
[[invariant]]
exit_code = 0
""")
    c = campaign.Campaign(path)
    result = c.run([str(HOMING)], tool=str(TOOL), workers=2, progress=False, report=tmp_path / "report")
    groups = result.groups()
    assert [g.signature for g in groups] == ["exit code 1"], result.verdict_list()
    reduced = groups[0].reduced
    assert [c.vary[f.vary]["name"] for f in reduced] == ["alarm"]
    assert list(reduced[0].values.values()) == [0.5]
    scenario = tmp_path / "report" / "group-1.toml"
    alone = subprocess.run([str(TOOL), "run", "--scenario", str(scenario), "--", str(HOMING)],
                           capture_output=True, text=True, timeout=60)
    assert alone.returncode == 1 and "exited with 1" in alone.stderr, alone.stderr
    for name in ("summary.txt", "junit.xml", "index.html", "group-1.html"):
        assert (tmp_path / "report" / name).stat().st_size > 0
    assert "<img src=\"group-1-scope.svg\"" in (tmp_path / "report" / "group-1.html").read_text()


def _start(command, log):
    return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                            start_new_session=True)


def _end(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


@needs_build
def test_the_example_gives_the_same_verdicts_locally_and_on_a_loopback_dask_cluster(tmp_path):
    pytest.importorskip("distributed")
    runs = "20"
    local = subprocess.run([str(TOOL), "campaign", str(EXAMPLE), "--runs", runs, "--workers", "2", "--quiet",
                            "--no-pictures", "--report", str(tmp_path / "local"), "--", str(HOMING)],
                           capture_output=True, text=True, timeout=300)
    assert local.returncode in (0, 1), local.stderr
    assert "Campaign homing under faults: 20 of 20 runs" in local.stdout
    local_verdicts = (tmp_path / "local" / "verdicts.txt").read_text()

    file = tmp_path / "scheduler.json"
    log = open(tmp_path / "dask.log", "w")
    python = sys.executable
    processes = [_start([python, "-m", "distributed.cli.dask_scheduler", "--host", "127.0.0.1", "--port", "0",
                         "--dashboard-address", "127.0.0.1:0", "--scheduler-file", str(file)], log)]
    try:
        deadline = time.monotonic() + 60
        while not file.exists() and time.monotonic() < deadline:
            time.sleep(0.2)
        assert file.exists(), (tmp_path / "dask.log").read_text()
        address = __import__("json").loads(file.read_text())["address"]
        for _ in range(2):
            processes.append(_start([python, "-m", "distributed.cli.dask_worker", address, "--nthreads", "1",
                                     "--host", "127.0.0.1", "--dashboard-address", "127.0.0.1:0",
                                     "--local-directory", str(tmp_path)], log))
        from distributed import Client
        with Client(address, timeout=30) as client:
            client.wait_for_workers(2, timeout=60)
        c = campaign.Campaign(EXAMPLE)
        result = c.run([str(HOMING)], runs=int(runs), scheduler=address, tool=str(TOOL), reduce=False,
                       progress=False, report=tmp_path / "dask")
        assert result.engine.startswith("Dask cluster at %s (2 worker threads)" % address)
        assert (tmp_path / "dask" / "verdicts.txt").read_text() == local_verdicts
    finally:
        for p in reversed(processes):
            _end(p)
        log.close()
