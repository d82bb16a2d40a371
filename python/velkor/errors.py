"""The exceptions of the Pythonic layer. The library itself reports only
through return values; these turn the ones a script must not overlook into
exceptions."""


class VelkorError(Exception):
    """Base of every exception the package raises for the module or the card."""


class RegistrationError(VelkorError):
    """Velkor_REGISTRATION refused the card: no module in the slot, a bad slot
    or card number, or a data area that did not read back."""


class MotionTimeout(VelkorError, TimeoutError):
    """The axes had not stopped when the wait's time ran out."""


class InterruptTimeout(VelkorError, TimeoutError):
    """No interrupt flag of the mask came in time (or it came with code 0,
    which the library cannot tell from a time-out)."""


class InterruptServiceError(VelkorError):
    """Velkor_ENABLE_RINT did not start the card's interrupt service."""


class ArcDegenerate(VelkorError, ValueError):
    """The arc cannot be planned; nothing was sent."""


class ModuleError(VelkorError):
    """The virtual module refused a set-up call."""


class CardClosed(VelkorError):
    """A call on a Card that was closed (its ``with`` block ended, or
    ``close()``); ``register()`` opens it again."""
