"""The monitor from Python: the client against this process's own modules
(errors, actions, status), and end to end against a program run by
``velkor run --monitor`` in another process: positions move, a paused clock
freezes them, an input set through the monitor reaches the program, and the
session recorded draws with ``velkor plot``."""

import os
import subprocess
from pathlib import Path

import pytest

from velkor import monitor
from velkor.sim import VirtualModule, start_monitor, stop_monitor


@pytest.fixture
def private(tmp_path):
    folder = tmp_path / "mon"
    folder.mkdir(mode=0o700)
    return folder


@pytest.fixture
def own(private):
    with VirtualModule(4, clock="manual"):
        start_monitor(private / "sock")
        try:
            with monitor.connect(private / "sock") as m:
                yield m
        finally:
            stop_monitor()


def test_status_actions_and_errors_in_this_process(own):
    assert own.hello["version"] == 1
    assert [m["slot"] for m in own.modules()] == [4]
    assert own.set_inputs(4, axis=1, set=0x300)["forced"] == 0x300
    assert own.set_inputs(4, axis=1, clear=0x100)["forced"] == 0x200
    own.drive_alarm(4, axis=2, on=True)
    own.latch(4, axis=3, value=42)
    status = own.status(4)
    assert status["clock"]["kind"] == "manual"
    assert status["axes"][0]["forced"] == 0x200
    assert status["axes"][1]["drive"]["alarm"] is True
    assert status["axes"][2]["latch"] == 42
    for call, code in [(lambda: own.status(6), "no_module"), (lambda: own.pause(4), "manual_clock"),
                       (lambda: own.request("fly"), "unknown_command"),
                       (lambda: own.jog(4, axis=5, direction=1), "bad_argument")]:
        with pytest.raises(monitor.MonitorError) as raised:
            call()
        assert raised.value.code == code
    own.send_line("{not json")
    replies = [r for r in own.events(duration=0.5) if r["type"] == "reply"]
    assert replies[0]["id"] is None and replies[0]["error"]["code"] == "bad_json"
    assert own.modules()[0]["slot"] == 4


def _tool(name):
    build = Path(os.environ.get("VELKOR_BUILD_DIR", Path(__file__).resolve().parents[2] / "build" / "plain"))
    path = build / "tools" / name if name == "velkor" else build / "tools" / "tests" / name
    if not path.exists():
        pytest.skip("%s is not built" % path)
    return path


def test_end_to_end_against_velkor_run(private):
    velkor, probe = _tool("velkor"), _tool("run_probe")
    sock, record = private / "sock", private / "session.jsonl"
    run = subprocess.Popen([str(velkor), "run", "--progress", "0", "--monitor", str(sock), "--record", str(record),
                            "--", str(probe), "watch", "3"], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        with monitor.connect(sock, wait=20) as m:
            lp = [m.status(3)["axes"][0]["lp"]]
            m.subscribe(rate=100, events="all")
            samples = [e for e in m.events(duration=0.3) if e["type"] == "sample"]
            assert samples and samples[-1]["slot"] == 3
            lp.append(m.status(3)["axes"][0]["lp"])
            assert lp[1] > lp[0], "the program moves axis 1 on"
            m.pause(3)
            frozen = m.status(3)["axes"][0]["lp"]
            list(m.events(duration=0.3))
            assert m.status(3)["axes"][0]["lp"] == frozen
            m.step(3, steps=10)
            assert m.status(3)["axes"][0]["lp"] == frozen + 10
            m.resume(3)
            m.set_inputs(3, axis=1, set=0x100)
            list(m.events(duration=30))  # until the program ends and the monitor with it
        out, err = run.communicate(timeout=30)
    finally:
        if run.poll() is None:
            run.kill()
    assert run.returncode == 0, err.decode()
    assert b"input 8 came" in out
    assert not sock.exists()
    lines = record.read_text().splitlines()
    assert '"type":"session"' in lines[0] and '"type":"end"' in lines[-1]
    plotted = subprocess.run([str(velkor), "plot", str(record), "--svg", str(private / "p.svg")],
                             capture_output=True, text=True)
    assert plotted.returncode == 0, plotted.stderr
    assert "samples of 1 module" in plotted.stdout
