"""The wheel's two settings that pyproject.toml cannot state: its version,
the project's (VELKOR_VERSION, set by scripts/release.sh, or the project()
line of the source tree's CMakeLists.txt), and its tag: the package is pure
Python over ctypes, so any Python 3 takes it, but the libraries inside are
built for one platform (py3-none-<platform>)."""

import os
import re
from pathlib import Path

from setuptools import Distribution, setup
from wheel.bdist_wheel import bdist_wheel


def version():
    if os.environ.get("VELKOR_VERSION"):
        return os.environ["VELKOR_VERSION"]
    here = Path(__file__).resolve().parent
    for cmake in (here / "CMakeLists.txt", here.parent / "CMakeLists.txt"):
        if cmake.is_file():
            found = re.search(r"project\(Velkor VERSION ([0-9.]+)", cmake.read_text())
            if found:
                return found.group(1)
    raise SystemExit("the version is unknown: set VELKOR_VERSION")


class WithLibraries(Distribution):
    """Binary contents: the package goes to platlib, the wheel gets a platform."""

    def has_ext_modules(self):
        return True


class PlatformWheel(bdist_wheel):
    def get_tag(self):
        return "py3", "none", super().get_tag()[2]


setup(version=version(), distclass=WithLibraries, cmdclass={"bdist_wheel": PlatformWheel})
