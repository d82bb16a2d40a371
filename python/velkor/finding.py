"""Finding the shared libraries: the driver library, the slot-bus library it
needs, and the virtual module.

Where, in this order:

0. the package's own ``_libs`` folder, where a wheel carries the three
   libraries: found by its path relative to the package, so that an
   installed wheel works in any environment without library paths;
1. the folders named by the environment variable ``VELKOR_LIBRARY_DIR``
   (several joined with the path separator); when it is set, nothing else is
   searched, so that a test run never picks up a library it was not pointed at;
2. the build tree this package sits in (``python/velkor`` of a source tree):
   ``build/plain`` first, then any other build folder that is neither
   sanitized nor cross-compiled (a sanitized library cannot be loaded into a
   plain Python);
3. the installed tree: the library folders of the prefix this package is
   installed under, of Python's prefix, ``/usr/local`` and ``/usr``, then the
   system's own search (``ctypes.util.find_library``).

When nothing is found, ``LibraryNotFound`` names every place searched.
"""

import ctypes.util
import os
import sys
from pathlib import Path

ENVIRONMENT_VARIABLE = "VELKOR_LIBRARY_DIR"

# Library -> (file names on this platform, where it sits inside a build tree)
if sys.platform.startswith("win"):
    _NAMES = {
        "Velkor": (("Velkor.dll",), "bin"),
        "BrelanSDK": (("BrelanSDK.dll",), "bin"),
        "velkor_sim": (("velkor_sim.dll", "libvelkor_sim.dll"), "bin"),
    }
elif sys.platform == "darwin":
    _NAMES = {
        "Velkor": (("libVelkor.dylib",), "src"),
        "BrelanSDK": (("libBrelanSDK.dylib",), "standins"),
        "velkor_sim": (("libvelkor_sim.dylib",), "sim"),
    }
else:
    _NAMES = {
        "Velkor": (("libVelkor.so", "libVelkor.so.7"), "src"),
        "BrelanSDK": (("libBrelanSDK.so",), "standins"),
        "velkor_sim": (("libvelkor_sim.so", "libvelkor_sim.so.7"), "sim"),
    }

# The libraries a wheel carries inside the package.
BUNDLED_FOLDER = Path(__file__).resolve().parent / "_libs"

LIBRARIES = tuple(_NAMES)


class LibraryNotFound(OSError):
    """No file of the library in any place searched; ``searched`` lists them."""

    def __init__(self, library, searched, hint=""):
        self.library = library
        self.searched = list(searched)
        lines = ["the %s library was not found; searched:" % library]
        lines += ["  " + str(place) for place in self.searched]
        lines.append("set %s to the folder that holds it%s" % (ENVIRONMENT_VARIABLE, hint))
        super().__init__("\n".join(lines))


def package_root():
    """The source tree this package belongs to, or None when installed."""
    root = Path(__file__).resolve().parent.parent.parent
    if (root / "include" / "Velkor.h").is_file() and (root / "python" / "velkor").is_dir():
        return root
    return None


def _cache_value(cache_text, key):
    for line in cache_text.splitlines():
        if line.startswith(key + ":"):
            return line.split("=", 1)[1].strip() if "=" in line else ""
    return None


def build_folders(root):
    """Build folders of a source tree whose libraries a plain Python can load,
    build/plain first."""
    build = root / "build"
    if not build.is_dir():
        return []
    usable = []
    for cache in sorted(build.glob("*/CMakeCache.txt")):
        text = cache.read_text(errors="replace")
        if _cache_value(text, "VELKOR_SANITIZE"):
            continue
        if _cache_value(text, "CMAKE_TOOLCHAIN_FILE") or _cache_value(text, "CMAKE_CROSSCOMPILING") == "TRUE":
            continue
        usable.append(cache.parent)
    usable.sort(key=lambda folder: folder.name != "plain")
    return usable


def _installed_folders():
    here = Path(__file__).resolve().parent
    prefixes = []
    # <prefix>/lib/pythonX.Y/site-packages/velkor or <prefix>/lib/python3/dist-packages/velkor
    for parent in here.parents:
        if parent.name in ("site-packages", "dist-packages"):
            prefixes.append(parent.parent.parent.parent)
            break
    prefixes += [Path(sys.prefix), Path("/usr/local"), Path("/usr")]
    folders = []
    multiarch = getattr(sys.implementation, "_multiarch", None)
    for prefix in prefixes:
        for sub in ("lib", "lib64") + (("lib/" + multiarch,) if multiarch else ()):
            folder = prefix / sub
            if folder not in folders:
                folders.append(folder)
    return folders


def environment_folders():
    """The folders VELKOR_LIBRARY_DIR names, or None when it is not set."""
    value = os.environ.get(ENVIRONMENT_VARIABLE)
    if not value:
        return None
    return [Path(part) for part in value.split(os.pathsep) if part]


def find(library):
    """The path of a library ('Velkor', 'BrelanSDK' or 'velkor_sim')."""
    names, build_sub = _NAMES[library]
    searched = []

    def look(folder):
        for name in names:
            candidate = folder / name
            searched.append(candidate)
            if candidate.is_file():
                return candidate.resolve()
        return None

    if BUNDLED_FOLDER.is_dir():
        found = look(BUNDLED_FOLDER)
        if found:
            return found

    env_folders = environment_folders()
    if env_folders is not None:
        for folder in env_folders:
            found = look(folder)
            if found:
                return found
        raise LibraryNotFound(library, searched, " (it is set: nothing else is searched)")

    root = package_root()
    if root is not None:
        for build in build_folders(root):
            found = look(build / build_sub)
            if found:
                return found
        if not build_folders(root):
            searched.append(root / "build" / "plain" / build_sub)
    for folder in _installed_folders():
        found = look(folder)
        if found:
            return found
    system = ctypes.util.find_library(library)
    searched.append("the system's library search for %r" % library)
    if system:
        return Path(system)
    hint = ""
    if root is not None:
        hint = ", or build the tree first (cmake -S . -B build/plain && cmake --build build/plain)"
    raise LibraryNotFound(library, searched, hint)
