"""Fixtures for testing machine sequences against the virtual module.

Load the plugin in a ``conftest.py`` (``pytest_plugins = ["velkor.pytest_plugin"]``)
or with ``pytest -p velkor.pytest_plugin``; then a test of a move is:

    def test_move(virtual_card):
        x = virtual_card.axis(1).profile(v=20000, a=100000)
        x.move(5000).wait_stopped(timeout=5)
        assert x.position == 5000

- ``virtual_module``: a fresh virtual module, plugged in for the test and
  unplugged after it.
- ``virtual_card``: a ``velkor.Card`` registered on that module, tidied up
  after the test (also when it fails). Its waits (``wait_stopped``,
  ``wait_interrupt``) advance the module's manual clock, so a test runs in
  simulated time: as fast as the machine allows and the same on every run.

The marker ``velkor`` sets them up: ``@pytest.mark.velkor(slot=5, card=1,
clock="real_time", time_scale=50, interrupts=velkor.InterruptFactor.DRIVE_END,
keep_trail=True, scenario="machine.toml")``. ``clock`` is "manual", "real_time" or "fast" (real time
times ``time_scale`` while the test commands, running ahead while it polls or
waits for an interrupt). Defaults: slot 3, card 0, the manual clock (a
real-time clock 20 times faster when the module's library has no manual
clock), interrupts off, no trail, no log.

``scenario`` names a scenario file (docs/scenarios.md; a relative path from
the test file's folder): the module gets the machine and events of its slot,
and after the test the file's checks are evaluated (exit code checks against
0); a failed check fails the test.
"""

import pytest

from .card import Card
from .scenario import Scenario
from .sim import VirtualModule, load_library

DEFAULTS = {"slot": 3, "card": 0, "clock": "manual", "time_scale": 20.0, "interrupts": None, "keep_trail": False,
            "keep_log": False, "scenario": None}


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "velkor(slot=3, card=0, clock='manual', time_scale=20.0, interrupts=None, keep_trail=False, "
                   "keep_log=False, scenario=None): how the virtual_module and virtual_card fixtures are set up")


def _marked(request):
    marker = request.node.get_closest_marker("velkor")
    return marker.kwargs if marker is not None else {}


def velkor_options(request):
    """The fixtures' settings: the defaults, overridden by the closest marker."""
    options = dict(DEFAULTS)
    marker = request.node.get_closest_marker("velkor")
    if marker is not None:
        unknown = set(marker.kwargs) - set(DEFAULTS)
        if unknown or marker.args:
            raise pytest.UsageError("velkor marker: only the keywords %s are known, not %s"
                                    % (", ".join(sorted(DEFAULTS)), ", ".join(sorted(unknown)) or marker.args))
        options.update(marker.kwargs)
    return options


@pytest.fixture
def virtual_module(request):
    options = velkor_options(request)
    clock = options["clock"]
    if clock == "manual" and "clock" not in _marked(request) and not load_library().signatures.get(
            "VelkorSim_Create"):
        clock = "real_time"  # a module library without the manual clock
    with VirtualModule(options["slot"], options["time_scale"], clock=clock, keep_trail=options["keep_trail"],
                       keep_log=options["keep_log"]) as module:
        if options["scenario"] is None:
            yield module
            return
        path = request.path.parent / options["scenario"]
        with Scenario(path) as scenario:
            scenario.apply(module)
            yield module
            failed = [line for passed, line in scenario.report() if not passed]
            if failed:
                pytest.fail("scenario %s: checks failed:\n  %s" % (options["scenario"], "\n  ".join(failed)),
                            pytrace=False)


@pytest.fixture
def virtual_card(request, virtual_module):
    options = velkor_options(request)
    with Card(options["card"], slot=virtual_module.slot, interrupts=options["interrupts"],
              module=virtual_module) as card:
        yield card
