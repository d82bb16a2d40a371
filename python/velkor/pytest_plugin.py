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
  after the test (also when it fails).

The marker ``velkor`` sets them up: ``@pytest.mark.velkor(slot=5, card=1,
time_scale=50, interrupts=velkor.InterruptFactor.DRIVE_END)``. Defaults: slot
3, card 0, a clock 20 times faster than real time, interrupts off.
"""

import pytest

from .card import Card
from .sim import VirtualModule

DEFAULTS = {"slot": 3, "card": 0, "time_scale": 20.0, "interrupts": None}


def pytest_configure(config):
    config.addinivalue_line(
        "markers", "velkor(slot=3, card=0, time_scale=20.0, interrupts=None): "
                   "how the virtual_module and virtual_card fixtures are set up")


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
    with VirtualModule(options["slot"], options["time_scale"]) as module:
        yield module


@pytest.fixture
def virtual_card(request, virtual_module):
    options = velkor_options(request)
    with Card(options["card"], slot=virtual_module.slot, interrupts=options["interrupts"]) as card:
        card.module = virtual_module
        yield card
