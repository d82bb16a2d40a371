"""Finding the libraries: the environment variable is obeyed alone, build
folders that a plain Python cannot load are passed over, and a failed search
names every place it looked."""

import os
import subprocess
import sys

import pytest

from conftest import ROOT
from velkor import finding


def test_the_environment_variable_is_searched_alone(tmp_path, monkeypatch):
    empty = tmp_path / "empty"
    empty.mkdir()
    monkeypatch.setenv(finding.ENVIRONMENT_VARIABLE, str(empty))
    with pytest.raises(finding.LibraryNotFound) as caught:
        finding.find("Velkor")
    message = str(caught.value)
    assert str(empty / "libVelkor.so") in message and finding.ENVIRONMENT_VARIABLE in message
    assert "nothing else is searched" in message
    assert caught.value.searched == [empty / name for name in ("libVelkor.so", "libVelkor.so.7")]


def test_the_environment_variable_takes_several_folders(tmp_path, monkeypatch, library_paths):
    real = library_paths["velkor_sim"].parent
    monkeypatch.setenv(finding.ENVIRONMENT_VARIABLE, os.pathsep.join([str(tmp_path), str(real)]))
    assert finding.find("velkor_sim") == library_paths["velkor_sim"]


def test_the_bundled_folder_comes_first(tmp_path, monkeypatch, library_paths):
    # A wheel's own libraries win even over the variable; without them the
    # search goes on as before.
    bundled = tmp_path / "_libs"
    bundled.mkdir()
    name = finding._NAMES["velkor_sim"][0][-1]
    (bundled / name).write_bytes(b"")
    monkeypatch.setattr(finding, "BUNDLED_FOLDER", bundled)
    monkeypatch.setenv(finding.ENVIRONMENT_VARIABLE, str(library_paths["velkor_sim"].parent))
    assert finding.find("velkor_sim") == bundled / name
    (bundled / name).unlink()
    assert finding.find("velkor_sim") == library_paths["velkor_sim"]


def _fake_build(root, name, cache_lines, library=True):
    folder = root / "build" / name
    (folder / "src").mkdir(parents=True)
    (folder / "CMakeCache.txt").write_text("\n".join(cache_lines) + "\n")
    if library:
        (folder / "src" / "libVelkor.so").write_bytes(b"")
    return folder


def test_build_folders_plain_first_without_sanitized_or_cross_builds(tmp_path):
    _fake_build(tmp_path, "asan", ["VELKOR_SANITIZE:STRING=address"])
    _fake_build(tmp_path, "tsan", ["VELKOR_SANITIZE:STRING=thread"])
    _fake_build(tmp_path, "windows", ["VELKOR_SANITIZE:STRING=",
                                      "CMAKE_TOOLCHAIN_FILE:FILEPATH=/x/mingw-w64-x86_64.cmake"])
    debug = _fake_build(tmp_path, "debug", ["VELKOR_SANITIZE:STRING="])
    plain = _fake_build(tmp_path, "plain", ["VELKOR_SANITIZE:STRING="])
    assert finding.build_folders(tmp_path) == [plain, debug]
    assert finding.build_folders(tmp_path / "nowhere") == []


def test_a_failed_search_names_the_build_tree_and_the_installed_folders(monkeypatch):
    monkeypatch.delenv(finding.ENVIRONMENT_VARIABLE, raising=False)
    monkeypatch.setitem(finding._NAMES, "nothing", (("libnothing-here.so",), "src"))
    with pytest.raises(finding.LibraryNotFound) as caught:
        finding.find("nothing")
    searched = [str(place) for place in caught.value.searched]
    assert any(place.startswith(str(ROOT / "build")) for place in searched)
    assert "/usr/lib/libnothing-here.so" in searched
    assert searched[-1] == "the system's library search for 'nothing'"
    assert "build the tree first" in str(caught.value)


def test_the_package_imports_from_the_build_folder_without_settings():
    # What a test engineer does after the main command: python3 in the build
    # folder, where the package is linked, and no variable set.
    folders = [folder for folder in finding.build_folders(ROOT) if (folder / "velkor").is_dir()]
    if not folders:
        pytest.skip("no configured build folder in this source tree")
    env = {k: v for k, v in os.environ.items() if k not in (finding.ENVIRONMENT_VARIABLE, "PYTHONPATH")}
    program = ("import velkor; from velkor import raw; "
               "print(raw.Velkor_GET_VERSION(), velkor.VirtualModule(3).plugged, raw.library().path)")
    done = subprocess.run([sys.executable, "-c", program], env=env, capture_output=True, text=True,
                          cwd=str(folders[0]))
    assert done.returncode == 0, done.stderr
    version, plugged, path = done.stdout.split()
    assert (version, plugged) == ("1809", "True") and path.startswith(str(ROOT / "build"))


def test_the_installed_package_finds_the_installed_libraries(tmp_path):
    # cmake --install into a prefix of its own; python3 with only the
    # package's folder on its path, from elsewhere, no variable set.
    build = os.environ.get("VELKOR_BUILD_DIR") or next(
        (str(folder) for folder in finding.build_folders(ROOT) if (folder / "CMakeCache.txt").is_file()), None)
    if build is None:
        pytest.skip("no build folder to install from")
    prefix = tmp_path / "prefix"
    done = subprocess.run(["cmake", "--install", build, "--prefix", str(prefix)], capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr
    env = {k: v for k, v in os.environ.items() if k != finding.ENVIRONMENT_VARIABLE}
    env["PYTHONPATH"] = str(prefix / "lib" / "python3" / "dist-packages")
    program = ("import velkor; from velkor import raw, sim; "
               "print(raw.Velkor_GET_VERSION(), velkor.VirtualModule(3).plugged, raw.library().path, "
               "sim.load_library().path)")
    done = subprocess.run([sys.executable, "-c", program], env=env, capture_output=True, text=True, cwd="/")
    assert done.returncode == 0, done.stderr
    version, plugged, driver, module = done.stdout.split()
    assert (version, plugged) == ("1809", "True")
    assert driver.startswith(str(prefix)) and module.startswith(str(prefix))
