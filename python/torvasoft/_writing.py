"""Writing: pictures through the library's encoders, archives through its
packers."""
import datetime
import os
import tempfile

from ._archives import file_time_from
from ._callbacks import Callback, member_callback, write_callback
from ._errors import error_for
from ._names import encode_name
from ._native import ffi, lib

_FORMATS = {
    "qnt": lib.TORVASOFT_FORMAT_QNT,
    "pms8": lib.TORVASOFT_FORMAT_PMS8,
    "pms16": lib.TORVASOFT_FORMAT_PMS16,
    "vsp": lib.TORVASOFT_FORMAT_VSP,
}


class _Collector(Callback):
    def __init__(self):
        self.parts = []

    def write(self, data):
        self.parts.append(bytes(data))


class _FileWriter(Callback):
    def __init__(self, file):
        self.file = file

    def write(self, data):
        self.file.write(data)


def _rgba_palette(rgb):
    entries = len(rgb) // 3
    out = bytearray(4 * entries)
    for c in range(3):
        out[c::4] = rgb[c:3 * entries:3]
    out[3::4] = b"\xff" * entries
    return bytes(out)


def _source(image):
    """(width, height, rgba, indices, RGB palette, position) of a
    torvasoft.Picture or of anything shaped like a Pillow image."""
    if hasattr(image, "to_rgba"):
        indexed = image.mode == "P"
        return (image.width, image.height, image.to_rgba(), image.pixels if indexed else None,
                image.palette if indexed else None, image.position)
    width, height = image.size
    if image.mode == "P":
        palette = image.getpalette() or []
        rgba = image.convert("RGBA").tobytes()
        return width, height, rgba, image.tobytes(), bytes(palette), None
    rgba = (image if image.mode == "RGBA" else image.convert("RGBA")).tobytes()
    return width, height, rgba, None, None, None


# PMS without a depth is 8-bit when the picture fits, as in `torva encode`.
_PMS_FALLBACK = {lib.TORVASOFT_TOO_MANY_COLOURS, lib.TORVASOFT_HAS_ALPHA}


def _format_codes(format):
    name = format.lower()
    if name == "pms":
        return [_FORMATS["pms8"], _FORMATS["pms16"]]
    if name not in _FORMATS:
        raise ValueError("no such format: %r (qnt, pms, pms8, pms16 or vsp)" % format)
    return [_FORMATS[name]]


def encode(image, format, position=None, greedy=False):
    """The file bytes of `image` (a torvasoft.Picture or a Pillow image) in
    `format`: "qnt", "pms8", "pms16", "vsp", or "pms" (8-bit when the
    picture fits, else 16-bit, as `torva encode` chooses). A palette picture's indices and palette go to the encoder, so
    that PMS and VSP keep the palette's order. `position` (x, y) is stored
    by every format (a VSP must stay on its 640 x 400 screen); by default
    the picture's own. `greedy` picks the faster parse of
    the PMS and VSP streams. A refusal raises RefusedError."""
    width, height, rgba, indices, palette, own_position = _source(image)
    if len(rgba) != 4 * width * height:
        raise ValueError("the pixels do not fill %dx%d" % (width, height))
    keep = []
    picture = ffi.new("torvasoft_picture*")
    picture.width, picture.height = width, height
    keep.append(ffi.from_buffer("uint8_t[]", rgba))
    picture.rgba = keep[-1]
    if indices is not None and palette:
        c_palette = _rgba_palette(palette[:3 * 256])
        keep += [ffi.from_buffer("uint8_t[]", indices), ffi.from_buffer("uint8_t[]", c_palette)]
        picture.indices, picture.palette = keep[-2], keep[-1]
        picture.palette_size = len(c_palette) // 4
    options = ffi.new("torvasoft_encode_options*")
    formats = _format_codes(format)
    x, y = position if position is not None else own_position or (0, 0)
    if x < 0 or y < 0:
        raise ValueError("a negative position")
    options.x, options.y = x, y
    options.greedy = 1 if greedy else 0

    for i, chosen in enumerate(formats):
        options.format = chosen
        collector = _Collector()
        handle = ffi.new_handle(collector)
        code = lib.torvasoft_encode(picture, options, write_callback, handle, ffi.NULL)
        collector.reraise()
        if code == lib.TORVASOFT_COMPLETE:
            return b"".join(collector.parts)
        if code not in _PMS_FALLBACK or i + 1 == len(formats):
            raise error_for(code, "encode")


class _MemberSource(Callback):
    def __init__(self, contents):
        self.contents = contents

    def member_bytes(self, index):
        return self.contents[index]


def _pack_rows(members):
    """(name bytes, data, file_time) for each (name, data[, time]) given.
    A time is an aware datetime, a stored file_time, or None for now."""
    now = datetime.datetime.now(datetime.timezone.utc)
    rows = []
    for member in members:
        if len(member) == 2:
            (name, data), time = member, None
        else:
            name, data, time = member
        if time is None:
            time = now
        file_time = time if isinstance(time, int) else file_time_from(time)
        rows.append((encode_name(name), bytes(data), file_time))
    return rows


def pack(members, path, kind=None):
    """Writes an archive of `members`, (name, data) or (name, data, time)
    tuples in the order given, to `path` (a file name, or a binary file
    object). `kind` is "ald" or "alk"; by default the extension of `path`
    says. Every member is checked first: a refusal (RefusedError) writes
    nothing, and a path is replaced only by a whole archive."""
    if kind is None:
        if not isinstance(path, (str, bytes, os.PathLike)):
            raise ValueError("give the kind (ald or alk) when packing into a file object")
        kind = os.path.splitext(os.fsdecode(path))[1][1:]
    kinds = {"ald": lib.TORVASOFT_KIND_ALD, "alk": lib.TORVASOFT_KIND_ALK}
    if kind.lower() not in kinds:
        raise ValueError("no such archive kind: %r (ald or alk)" % kind)
    rows = _pack_rows(members)
    names = [ffi.from_buffer("uint8_t[]", name) for name, _, _ in rows]
    c_members = ffi.new("torvasoft_pack_member[]", max(1, len(rows)))
    for i, (name, data, file_time) in enumerate(rows):
        c_members[i].name = names[i]
        c_members[i].name_size = len(name)
        c_members[i].size = len(data)
        c_members[i].file_time = file_time
    source = _MemberSource([data for _, data, _ in rows])

    def run(file):
        writer = _FileWriter(file)
        code = lib.torvasoft_pack(kinds[kind.lower()], c_members, len(rows), write_callback,
                                  ffi.new_handle(writer), member_callback, ffi.new_handle(source))
        writer.reraise()
        source.reraise()
        if code != lib.TORVASOFT_COMPLETE:
            raise error_for(code, "pack")

    if not isinstance(path, (str, bytes, os.PathLike)):
        run(path)
        return
    target = os.fsdecode(path)
    file = tempfile.NamedTemporaryFile(dir=os.path.dirname(os.path.abspath(target)), delete=False)
    try:
        with file:
            run(file)
        # The scratch file is private (0600); the archive gets the mode of
        # the file it replaces, or the usual 0644.
        try:
            mode = os.stat(target).st_mode & 0o7777
        except FileNotFoundError:
            mode = 0o644
        os.chmod(file.name, mode)
        os.replace(file.name, target)
    except BaseException:
        os.unlink(file.name)
        raise
