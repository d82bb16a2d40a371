"""Shared helpers of the package's own tests: the source tree, the libraries
found, a C compiler for the checks that call the library from C, and a
virtual module in slot 3 (50 times faster than real time) with a card on it."""

import os
import shutil
import subprocess
from pathlib import Path

import pytest

import velkor
from velkor import finding

ROOT = Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def library_paths():
    return {name: finding.find(name) for name in finding.LIBRARIES}


@pytest.fixture(scope="session")
def compile_c(library_paths, tmp_path_factory):
    """compile_c(source_path, output_name, extra_flags) -> path of the program
    (or object file with '-c'), built against the headers of the tree and the
    libraries the package loads."""
    compiler = os.environ.get("CC") or shutil.which("cc") or shutil.which("gcc")
    if compiler is None:
        pytest.fail("no C compiler (cc) to build the C side of the checks")
    folder = tmp_path_factory.mktemp("c")

    def build(source, name, flags=()):
        output = folder / name
        command = [compiler, "-std=c99", "-Wall", "-Werror", "-I", str(ROOT / "include"),
                   "-I", str(ROOT / "sim" / "include"), str(source), "-o", str(output), *flags]
        if "-c" not in flags:
            for library in ("Velkor", "velkor_sim"):
                path = library_paths[library]
                command += [str(path), "-Wl,-rpath," + str(Path(path).parent)]
            command += ["-Wl,-rpath," + str(Path(library_paths["BrelanSDK"]).parent)]
        done = subprocess.run(command, capture_output=True, text=True)
        assert done.returncode == 0, "%s\n%s" % (" ".join(command), done.stderr)
        return output

    return build


@pytest.fixture
def module():
    with velkor.VirtualModule(3, 50.0) as module:
        yield module


@pytest.fixture
def card(module):
    with velkor.Card(0, slot=3) as card:
        yield card
