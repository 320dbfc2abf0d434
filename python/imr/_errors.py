"""The exceptions that stand for the library's failures."""


class Error(Exception):
    """A failure the library reports.  `status` names it as the C interface
    does (IMR_E_...); the message says what went wrong."""

    status = "IMR_E_INTERNAL"


class InvalidArgument(Error, ValueError):
    """A missing or empty path, a path that is not UTF-8, a level or image
    type mask out of range."""

    status = "IMR_E_ARGUMENT"


class DetectorClosed(Error):
    """The detector was closed."""

    status = "IMR_E_CLOSED"


class NotRecognized(Error):
    """No format recognises the file."""

    status = "IMR_E_NOT_RECOGNIZED"


class CannotRead(Error, OSError):
    """The file cannot be opened or read."""

    status = "IMR_E_CANNOT_READ"


class ConfigurationError(Error):
    """The configuration file cannot be read, or another one is loaded."""

    status = "IMR_E_CONFIG"


class InternalError(Error):
    """Any other failure inside the library."""


# By the codes of imr_status.
_BY_STATUS = {1: InvalidArgument, 2: DetectorClosed, 3: NotRecognized, 4: CannotRead,
              5: ConfigurationError, 6: MemoryError, 7: InternalError}


def error_for(status, message):
    """The exception for a non-zero imr_status and its message."""
    return _BY_STATUS.get(status, InternalError)(message)
