"""Every family of exports called through the raw layer leaves the virtual
module in the same state as the same calls made from C: parity/calls.txt is
compiled into a C program and evaluated line by line from Python, and the two
reports must be equal line for line."""

import ctypes
import subprocess
import time
from pathlib import Path

import pytest

from velkor import raw
from velkor.sim import VirtualModule

HERE = Path(__file__).resolve().parent / "parity"
CALLS = [line.strip() for line in (HERE / "calls.txt").read_text().splitlines()
         if line.strip() and not line.lstrip().startswith("#")]


def run_from_python():
    library = raw.library()
    lines = []
    namespace = {name: getattr(library, name) for name in library.signatures}

    def wait(axes):
        deadline = time.monotonic() + 60
        while library.Velkor_STOP_WAIT(1, axes) != 1:
            assert time.monotonic() < deadline, "axes %d never stopped" % axes
            time.sleep(0.001)

    def read_md_int(card, index):
        value = ctypes.c_int32(0)
        library.Velkor_READ_MD(card, index, ctypes.byref(value), None)
        return value.value

    def read_md_float(card, index):
        value = ctypes.c_float(0)
        library.Velkor_READ_MD(card, index, None, ctypes.byref(value))
        return value.value

    namespace.update(
        report=lambda name, value: lines.append("%s %d" % (name, value)),
        reportf=lambda name, value: lines.append("%s %.9g" % (name, value)),
        wait=wait, read_md_int=read_md_int, read_md_float=read_md_float,
        P=lambda x, y, z: ctypes.byref(raw.POINT_3D(x, y, z)))
    with VirtualModule(5, 50.0) as module:
        def wait_program():
            deadline = time.monotonic() + 60
            module.WaitSettled()
            while module.MacroRunning():
                assert time.monotonic() < deadline, "the macro program never ended"
                time.sleep(0.001)

        namespace["wait_program"] = wait_program
        for line in CALLS:
            eval(compile(line, "calls.txt", "eval"), namespace)
        lines += ["packets_taken %d" % module.packets_taken, "sequence_gaps %d" % module.sequence_gaps,
                  "dropped_packets %d" % module.dropped_packets]
    return lines


@pytest.fixture(scope="module")
def c_report(compile_c, tmp_path_factory):
    folder = tmp_path_factory.mktemp("parity")
    (folder / "calls.inc").write_text("".join(line + ";\n" for line in CALLS))
    source = folder / "parity_main.c"
    source.write_text((HERE / "parity_main.c").read_text())
    program = compile_c(source, "parity")
    done = subprocess.run([str(program)], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    return done.stdout.splitlines()


def test_raw_layer_leaves_the_module_as_c_does(c_report):
    python_report = run_from_python()
    assert python_report == c_report
    values = dict(line.split(" ", 1) for line in c_report)
    # The run did real work: the state is not a report of zeros.
    assert values["registered"] == "1" and values["lp1"] != "0" and int(values["packets_taken"]) > 100
    assert values["arc_3d"] == "314" and values["arc_3d_too_fast"] == "-221220"
    assert values["sequence_gaps"] == "0" and values["dropped_packets"] == "0"


def test_every_family_is_in_the_sequence():
    called = {name for name in raw.library().signatures if any(name + "(" in line for line in CALLS)}
    called |= {"Velkor_READ_MD", "Velkor_STOP_WAIT"}  # in the helpers of both sides
    # Left out, each for a reason: the interrupt service and its waits (a
    # thread of its own; test_card.py), resets and buffer clears (they block
    # 500 ms and restart the numbering), the raw staging of WRITE_DATA and the
    # packers and readers (test_card.py), endless or open-ended motion
    # (CONTINUE_MOVE, homing, line scans, the special paths whose parameters
    # the module defines) and the debugger (needs a program stopped in it).
    left_out = {
        "Velkor_ENABLE_RINT", "Velkor_DISABLE_RINT", "Velkor_RINT_WAIT", "Velkor_CLEAR_RINT_FLAG",
        "Velkor_RESET_CARD", "Velkor_CLEAR_CARD_BUFFER", "Velkor_CHECK_RTC",
        "WRITE_DATA", "FtoB", "DWtoB", "LtoB", "WtoB", "StoB", "BtoDW", "BtoL", "BtoW",
        "Velkor_CONTINUE_MOVE", "Velkor_HOME_START", "Velkor_LINE_SCAN_START", "Velkor_LINE_SCAN_OFFSET",
        "Velkor_RECTANGLE", "Velkor_MIX_2D_INITIAL", "Velkor_MIX_2D_CONTINUE", "Velkor_CONTINUE_INTP",
        "Velkor_CONTINUE_INTP_ARRAY", "Velkor_HELIX_3D", "Velkor_RATIO_INITIAL", "Velkor_RATIO_2D",
        "Velkor_LOAD_INITIAL", "Velkor_MP_DEBUG", "Velkor_ISR_DEBUG", "Velkor_CONTINUE_DEBUG",
        "Velkor_STOP_DEBUG", "Velkor_DEBUG_WAIT", "Velkor_DEBUG_INFO",
    }
    assert called | left_out == set(raw.library().signatures)
    assert len(called) >= 100
