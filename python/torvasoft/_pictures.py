"""Pictures: what a header says (inspect) and the pixels (decode)."""
import os
from dataclasses import dataclass
from typing import Optional, Tuple

from ._errors import DAMAGE, error_for, status_name
from ._native import ffi, lib


def c_name(name):
    """A file name as the library takes it: bytes, or NULL for none."""
    if name is None:
        return ffi.NULL
    encoded = os.fsencode(name)
    if b"\0" in encoded:
        raise ValueError("a name with a NUL byte")
    return encoded


def c_bytes(data):
    return ffi.from_buffer("uint8_t[]", data)


@dataclass(frozen=True)
class Info:
    """What a picture's header tells. `status` is "complete" unless the
    header already shows damage ("truncated", "outside-file") or a size
    beyond the limits ("too-large")."""

    kind: str
    width: int
    height: int
    depth: int
    alpha: bool
    position: Optional[Tuple[int, int]]
    status: str

    @property
    def size(self):
        return (self.width, self.height)


def _info(c_info, code):
    position = (c_info.x, c_info.y) if c_info.has_position else None
    return Info(
        kind=ffi.string(lib.torvasoft_kind_name(c_info.kind)).decode("ascii"),
        width=c_info.width,
        height=c_info.height,
        depth=c_info.depth,
        alpha=bool(c_info.has_alpha),
        position=position,
        status=status_name(code),
    )


def inspect(data, name=None):
    """Reads the header of the picture file held in `data`. `name` (the
    file's name) decides only through its extension: VSP needs ".vsp"."""
    c_info = ffi.new("torvasoft_info*")
    code = lib.torvasoft_inspect(c_bytes(data), len(data), c_name(name), c_info)
    if code in (lib.TORVASOFT_NOT_RECOGNISED, lib.TORVASOFT_INVALID_ARGUMENT):
        raise error_for(code, name)
    return _info(c_info, code)


def _spread(table):
    return bytes(table[i] if i < len(table) else 0 for i in range(256))


_HIGH_NIBBLE = bytes(i >> 4 for i in range(256))
_LOW_NIBBLE = bytes(i & 15 for i in range(256))


def _unpack_nibbles(packed, width, height, stride):
    """Two pixels a byte, high nibble first, to one index a byte."""
    both = bytearray(2 * len(packed))
    both[0::2] = packed.translate(_HIGH_NIBBLE)
    both[1::2] = packed.translate(_LOW_NIBBLE)
    if 2 * stride == width:
        return bytes(both)
    return b"".join(both[row * 2 * stride:row * 2 * stride + width] for row in range(height))


class Picture:
    """A decoded picture: `mode` "RGBA" (`pixels` four bytes a pixel) or
    "P" (`pixels` one palette index a pixel, `palette` three bytes an entry:
    red, green, blue). Rows are top-down and unpadded. `produced` counts the
    pixels decoded before any stop; `status` is "complete" for a whole one."""

    def __init__(self, info, mode, pixels, palette, produced, status):
        self.info = info
        self.mode = mode
        self.pixels = pixels
        self.palette = palette
        self.produced = produced
        self.status = status

    kind = property(lambda self: self.info.kind)
    width = property(lambda self: self.info.width)
    height = property(lambda self: self.info.height)
    size = property(lambda self: self.info.size)
    depth = property(lambda self: self.info.depth)
    alpha = property(lambda self: self.info.alpha)
    position = property(lambda self: self.info.position)

    def to_rgba(self):
        """The pixels as RGBA bytes, a palette picture's through its palette."""
        if self.mode == "RGBA":
            return self.pixels
        entries = len(self.palette) // 3
        channels = [_spread(self.palette[c::3]) for c in range(3)] + [_spread(b"\xff" * entries)]
        rgba = bytearray(4 * len(self.pixels))
        for c, table in enumerate(channels):
            rgba[c::4] = self.pixels.translate(table)
        return bytes(rgba)

    def __repr__(self):
        return "<torvasoft.Picture %s %dx%d %s %s>" % (self.kind, self.width, self.height, self.mode, self.status)


_READABLE = (lib.TORVASOFT_COMPLETE, lib.TORVASOFT_TRUNCATED, lib.TORVASOFT_OUTSIDE_FILE)


def _layout(source, size, name, request):
    layout = ffi.new("torvasoft_layout*")
    code = lib.torvasoft_decoded_layout(source, size, name, request, layout)
    if code not in _READABLE:
        raise error_for(code, name if name != ffi.NULL else None)
    return layout


def decode(data, name=None, indexed=False):
    """Decodes the picture file held in `data` to RGBA, or, with `indexed`,
    a VSP or 8-bit PMS picture to its stored indices and palette (mode "P";
    the others stay RGBA). Damage raises DamagedError, which carries the
    partial picture."""
    source, size, c_file = c_bytes(data), len(data), c_name(name)
    request = lib.TORVASOFT_AS_RGBA8
    layout = None
    if indexed:
        stored = _layout(source, size, c_file, lib.TORVASOFT_AS_STORED)
        if stored.format in (lib.TORVASOFT_INDEXED4, lib.TORVASOFT_INDEXED8):
            request, layout = lib.TORVASOFT_AS_STORED, stored
    if layout is None:
        layout = _layout(source, size, c_file, request)

    out = bytearray(layout.size)
    palette = ffi.new("torvasoft_colour[]", layout.palette_entries) if layout.palette_entries else ffi.NULL
    produced = ffi.new("uint64_t*")
    code = lib.torvasoft_decode(source, size, c_file, request, ffi.from_buffer(out), len(out), palette, produced)
    if code not in DAMAGE and code != lib.TORVASOFT_COMPLETE:
        raise error_for(code, name)

    c_info = ffi.new("torvasoft_info*")
    info = _info(c_info, lib.torvasoft_inspect(source, size, c_file, c_info))
    if layout.format == lib.TORVASOFT_INDEXED4:
        pixels = _unpack_nibbles(bytes(out), layout.width, layout.height, layout.stride)
    else:
        pixels = bytes(out)
    if palette != ffi.NULL:
        rgb = bytes(channel for entry in palette for channel in (entry.red, entry.green, entry.blue))
        picture = Picture(info, "P", pixels, rgb, produced[0], status_name(code))
    else:
        picture = Picture(info, "RGBA", pixels, None, produced[0], status_name(code))
    if code != lib.TORVASOFT_COMPLETE:
        raise error_for(code, name, picture=picture)
    return picture
