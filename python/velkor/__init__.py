"""Velkor from Python: the driver library of the four-axis motion module and
its virtual module, over ctypes.

- ``velkor.raw``: every export of ``Velkor.h`` with its exact C types
  (``raw.Velkor_GET_LP(0, 1)``), ``raw.POINT_3D``, ``raw.nVelkor``.
- ``velkor.Card``, ``Axis``: the common work in a few words, with range
  checks, time-outs and tidy-up; nothing changes what goes to the module.
- ``velkor.VirtualModule``: a virtual module in a slot of the virtual
  backplane, for tests and for work without a controller.
- ``velkor.Scenario``: a scenario file (the machine, events and checks)
  applied to virtual modules.
- ``velkor.pytest_plugin``: the fixtures ``virtual_module`` and
  ``virtual_card``.

Nothing is loaded at import: the libraries are found (``velkor.finding``)
and loaded on first use.
"""

from .bits import ARC_DEGENERATE, Axes, ErrorBits, Inputs, InterruptFactor, axis_mask
from .card import HOME_SEQUENCES, ArcPlan, Axis, Card, Interrupt, LinePath, MixPath
from .errors import (ArcDegenerate, CardClosed, InterruptServiceError, InterruptTimeout, ModuleError, MotionTimeout,
                     RegistrationError, VelkorError)
from .finding import LibraryNotFound
from .raw import POINT_3D
from .scenario import Scenario
from .sim import VirtualModule

__all__ = [
    "ARC_DEGENERATE", "ArcDegenerate", "ArcPlan", "Axes", "Axis", "Card", "CardClosed", "ErrorBits", "HOME_SEQUENCES",
    "Interrupt", "InterruptFactor", "Inputs", "InterruptServiceError", "InterruptTimeout", "LibraryNotFound",
    "LinePath", "MixPath", "ModuleError", "MotionTimeout", "POINT_3D", "RegistrationError", "Scenario", "VelkorError",
    "VirtualModule", "axis_mask",
]
