"""Scenario files from Python (docs/scenarios.md): the machine around a
virtual module, the events that play on it and the checks of the outcome.

    scenario = velkor.Scenario("examples/scenarios/homing.toml")
    with velkor.VirtualModule(slot=3, clock="manual") as module:
        scenario.apply(module)
        ...                                  # the bench
        scenario.check(exit_code=0)          # AssertionError listing what failed

The same file serves ``velkor run --scenario`` and the pytest marker
``@pytest.mark.velkor(scenario="...")``.
"""

import ctypes

from .errors import ModuleError
from .sim import load_library

_ERROR = 1024
_REPORT = 1 << 16


class Scenario:
    """A scenario file (or, with ``text=``, its text), read at once: a bad
    file raises ``ModuleError`` with the line, the field and the reason."""

    def __init__(self, path=None, *, text=None, library=None):
        self.library = library if library is not None else load_library()
        self.handle = None
        if (path is None) == (text is None):
            raise ModuleError("a scenario is a file or a text: give one of path and text")
        error = ctypes.create_string_buffer(_ERROR)
        if path is not None:
            self.path = str(path)
            handle = self.library.VelkorSim_LoadScenario(self.path.encode(), error, _ERROR)
        else:
            self.path = None
            handle = self.library.VelkorSim_ParseScenario(text.encode(), error, _ERROR)
        if not handle:
            raise ModuleError(error.value.decode(errors="replace"))
        self.handle = handle
        self._results = None

    def apply(self, module, slot=None):
        """Puts the machine of the scenario's slot (the module's own unless
        given) on a ``VirtualModule`` and watches it for the slot's events."""
        if not self.handle:
            raise ModuleError("the scenario was freed")
        error = ctypes.create_string_buffer(_ERROR)
        if not self.library.VelkorSim_ApplyScenario(self.handle, module.handle, module.slot if slot is None else slot,
                                                    error, _ERROR):
            raise ModuleError("scenario: " + error.value.decode(errors="replace"))
        return self

    def report(self, exit_code=0):
        """Evaluates the checks once (the exit code checks against
        ``exit_code``), before the modules go: a list of (passed, line)."""
        if self._results is None:
            if not self.handle:
                raise ModuleError("the scenario was freed")
            text = ctypes.create_string_buffer(_REPORT)
            self.library.VelkorSim_ScenarioReport(self.handle, int(exit_code), text, _REPORT)
            lines = text.value.decode(errors="replace").splitlines()
            self._results = [(line.startswith("PASS"), line) for line in lines]
        return self._results

    def check(self, exit_code=0):
        """As ``report``; raises AssertionError with the failed checks."""
        failed = [line for passed, line in self.report(exit_code) if not passed]
        if failed:
            raise AssertionError("scenario checks failed:\n  " + "\n  ".join(failed))

    def free(self):
        handle, self.handle = self.handle, None
        if handle:
            self.library.VelkorSim_FreeScenario(handle)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.free()
        return False

    def __del__(self):
        try:
            self.free()
        except Exception:  # the library may be gone at interpreter exit
            pass
