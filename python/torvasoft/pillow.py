"""A Pillow plug-in: after `import torvasoft.pillow`, Image.open reads QNT,
PMS and VSP pictures and Image.save writes them.

Opening reads the file and looks at its header alone (torvasoft.inspect)
for the mode and size; the pixels are decoded on load, as with Pillow's own
formats. (The whole file is read because the library recognises a QNT
picture only with its streams: a head alone is "not recognised".) Modes: "P"
with the stored palette for VSP and 8-bit PMS (the indices as stored),
"RGBA" for pictures with an alpha plane, "RGB" for the others (16-bit PMS
widened from 5-6-5).

VSP has no magic number: it is recognised by its name only, so a file
object must have a `name` ending in ".vsp" (or Image.open be given one).

Damage: load() raises torvasoft.DamagedError (an OSError) for a stream cut
short or corrupt. With ImageFile.LOAD_TRUNCATED_IMAGES set, it keeps the
partial picture instead (pixels never decoded are zero) and records the
status in im.info["torvasoft_status"].

Saving: format "QNT", "PMS" (8-bit when the picture fits in 256 colours
without translucency, else 16-bit, as `torva encode` chooses; depth=8 or
depth=16 forces one) or "VSP". Options: position=(x, y) (stored by
VSP) and greedy=True (the faster parse of the PMS and VSP streams). A "P"
image passes its indices and palette, so the palette's order is kept. A
picture the format cannot hold raises torvasoft.RefusedError (a ValueError).
"""
import os

from PIL import Image, ImageFile, ImagePalette

from . import DamagedError, NotRecognisedError, decode, encode, inspect

def _file_name(image_file):
    name = image_file.filename or getattr(image_file.fp, "name", None)
    return os.fsdecode(name) if isinstance(name, (str, bytes)) else None


class _TorvasoftImageFile(ImageFile.ImageFile):
    kind = None

    def _open(self):
        name = _file_name(self)
        # VSP's only mark is its name: other files are not read at all.
        if self.kind == "vsp" and not (name or "").lower().endswith(".vsp"):
            raise SyntaxError("not a VSP picture (without a name ending in .vsp)")
        data = self.fp.read()
        try:
            info = inspect(data, name)
        except NotRecognisedError:
            raise SyntaxError("not a %s picture" % self.format) from None
        if info.kind != self.kind:
            raise SyntaxError("not a %s picture" % self.format)
        self._torvasoft_name = name
        self._torvasoft_data = data
        self._size = info.size
        if info.kind == "vsp" or (info.kind == "pms" and info.depth == 8):
            self.mode = "P"
        else:
            self.mode = "RGBA" if info.alpha else "RGB"
        if info.position is not None:
            self.info["position"] = info.position
        self.tile = [("torvasoft", (0, 0) + info.size, 0, (None,))]

    def load(self):
        if self.tile and self.tile[0][0] == "torvasoft" and self.tile[0][3] == (None,):
            try:
                picture = decode(self._torvasoft_data, self._torvasoft_name, indexed=True)
            except DamagedError as damage:
                if not ImageFile.LOAD_TRUNCATED_IMAGES or damage.picture is None:
                    raise
                picture = damage.picture
            self.info["torvasoft_status"] = picture.status
            if picture.mode == "P":
                self.palette = ImagePalette.raw("RGB", picture.palette)
            self.tile = [("torvasoft", (0, 0) + self.size, 0, (picture,))]
            self._torvasoft_data = None
        return super().load()


class _Decoder(ImageFile.PyDecoder):
    _pulls_fd = True

    def decode(self, buffer):
        (picture,) = self.args
        # An RGB image takes the RGBA pixels with the fourth byte skipped.
        rawmode = {"P": "P", "RGB": "RGBX"}.get(self.mode, "RGBA")
        self.set_as_raw(picture.pixels, rawmode)
        return -1, 0


class QntImageFile(_TorvasoftImageFile):
    format, format_description, kind = "QNT", "QNT picture", "qnt"


class PmsImageFile(_TorvasoftImageFile):
    format, format_description, kind = "PMS", "PMS picture", "pms"


class VspImageFile(_TorvasoftImageFile):
    format, format_description, kind = "VSP", "VSP picture", "vsp"


def _saver(format):
    def save(image, fp, filename):
        options = image.encoderinfo
        chosen = format
        if format == "pms" and options.get("depth") is not None:
            if options["depth"] not in (8, 16):
                raise ValueError("PMS depth is 8 or 16")
            chosen = "pms%d" % options["depth"]
        fp.write(encode(image, chosen, position=options.get("position"), greedy=options.get("greedy", False)))

    return save


def _register():
    Image.register_decoder("torvasoft", _Decoder)
    openers = [
        (QntImageFile, lambda prefix: prefix[:4] == b"QNT\0", ".qnt"),
        (PmsImageFile, lambda prefix: prefix[:2] == b"PM", ".pms"),
        # No magic: _open decides, by the name.
        (VspImageFile, None, ".vsp"),
    ]
    for image_file, accept, extension in openers:
        Image.register_open(image_file.format, image_file, accept)
        Image.register_save(image_file.format, _saver(image_file.kind))
        Image.register_extension(image_file.format, extension)


_register()
