"""torvasoft: the archives (ALD, ALK) and pictures (QNT, PMS, VSP) of a
family of games, through the torvasoft library's C interface.

    import torvasoft
    picture = torvasoft.decode(open("sunset.qnt", "rb").read(), "sunset.qnt")
    with torvasoft.Archive("samples.ald") as archive:
        for member in archive:
            print(member.name, member.size, member.time)

`import torvasoft.pillow` registers QNT, PMS and VSP with Pillow.
"""
from ._archives import Archive, Member
from ._errors import DamagedError, Error, NotRecognisedError, RefusedError
from ._names import decode_name
from ._native import ffi as _ffi
from ._native import lib as _lib
from ._pictures import Info, Picture, decode, inspect
from ._writing import encode, pack

__all__ = [
    "Archive", "Member", "Info", "Picture", "Error", "DamagedError", "NotRecognisedError", "RefusedError",
    "inspect", "decode", "encode", "pack", "detect", "decode_name", "library_version", "set_limits",
]


def library_version():
    """The version of the library loaded, "MAJOR.MINOR.PATCH"."""
    return _ffi.string(_lib.torvasoft_version()).decode("ascii")


__version__ = library_version()


def detect(data, name=None):
    """"ald", "alk", "qnt", "pms", "vsp", or None: what `data` (perhaps only
    an archive's head) is, as the viewer plug-in decides."""
    from ._pictures import c_bytes, c_name

    kind = _lib.torvasoft_detect(c_bytes(data), len(data), c_name(name))
    return None if kind == _lib.TORVASOFT_KIND_NONE else _ffi.string(_lib.torvasoft_kind_name(kind)).decode("ascii")


def set_limits(max_pixels=0, max_bytes=0):
    """Process-wide limits for every later call: pictures of more pixels are
    refused ("too-large"); 0 means no pixel limit, or the built-in cap on
    memory. set_limits() restores the defaults."""
    limits = _ffi.new("torvasoft_limits*")
    limits.max_pixels, limits.max_bytes = max_pixels, max_bytes
    _lib.torvasoft_set_limits(limits)
