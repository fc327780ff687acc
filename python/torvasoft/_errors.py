"""The exceptions, one for each way a call can fail."""
from ._native import ffi, lib

DAMAGE = {lib.TORVASOFT_TRUNCATED, lib.TORVASOFT_CORRUPT, lib.TORVASOFT_OUTSIDE_FILE}


def status_name(code):
    return ffi.string(lib.torvasoft_status_name(code)).decode("ascii")


class Error(Exception):
    """A call the library answered with a status other than "complete".
    `status` is its name ("too-large", ...), `code` its number."""

    def __init__(self, code, subject=None):
        self.code = int(code)
        self.status = status_name(self.code)
        text = ffi.string(lib.torvasoft_status_text(self.code)).decode("ascii", "replace")
        super().__init__("%s: %s" % (subject, text) if subject else text)


class NotRecognisedError(Error, ValueError):
    """Bytes that are none of the library's formats."""


class DamagedError(Error, OSError):
    """A stream cut short or corrupt, or a header pointing past the bytes.
    `picture` holds what was decoded before the stop (the other pixels are
    zero), `members` what an archive's table listed before it; the one that
    does not apply is None."""

    def __init__(self, code, subject=None, picture=None, members=None, data=None):
        super().__init__(code, subject)
        self.picture = picture
        self.members = members
        self.data = data


class RefusedError(Error, ValueError):
    """An encoder or packer refused its input (too many colours, a name too
    long, ...), or an argument out of range; nothing was written."""


def error_for(code, subject=None, **partial):
    if code in DAMAGE:
        return DamagedError(code, subject, **partial)
    if code == lib.TORVASOFT_NOT_RECOGNISED:
        return NotRecognisedError(code, subject)
    if code == lib.TORVASOFT_OUT_OF_MEMORY:
        return MemoryError(status_name(code) + (": %s" % subject if subject else ""))
    if code == lib.TORVASOFT_INVALID_ARGUMENT or code >= 20:
        return RefusedError(code, subject)
    return Error(code, subject)
