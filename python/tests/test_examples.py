"""The examples run as a user runs them, each on its own virtual module, and
end with status 0 and the result they promise."""

import fnmatch
import subprocess
import sys

import pytest

from conftest import ROOT

EXAMPLES = ROOT / "python" / "examples"


@pytest.mark.parametrize("script, args, last_line", [
    ("fixed_move.py", [], "stopped at 5000"),
    ("xy_path.py", [], "* samples*"),
    ("homing.py", ["--slot", "4", "--card", "2"], "moved away from home to *"),
    ("macro_program.py", [], "axis 1 at 0"),
])
def test_example_runs(script, args, last_line):
    done = subprocess.run([sys.executable, str(EXAMPLES / script), *args], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stdout + done.stderr
    assert fnmatch.fnmatch(done.stdout.splitlines()[-1], last_line), done.stdout


def test_the_path_plot_is_written_or_its_absence_said(tmp_path):
    picture = tmp_path / "path.png"
    done = subprocess.run([sys.executable, str(EXAMPLES / "xy_path.py"), "--plot", str(picture)],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        assert "matplotlib is not installed: no plot" in done.stdout and not picture.exists()
    else:
        assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_an_example_without_a_module_says_so():
    done = subprocess.run([sys.executable, str(EXAMPLES / "fixed_move.py"), "--hardware", "--slot", "7"],
                          capture_output=True, text=True, timeout=60)
    assert done.returncode != 0 and "RegistrationError: card 0: no module registered in slot 7" in done.stderr
