import pytest
from PIL import Image

import torvasoft
from conftest import PICTURES, torva_json


@pytest.mark.parametrize("name", PICTURES)
@pytest.mark.parametrize("format", ["qnt", "pms", "vsp"])
def test_encoded_pictures_decode_to_the_same_pixels(pictures, name, format):
    data = (pictures / name).read_bytes()
    picture = torvasoft.decode(data, name, indexed=True)
    fits_vsp = picture.kind == "vsp"
    lossy_pms16 = format == "pms" and picture.kind != "pms" and picture.mode != "P"
    if format == "vsp" and not fits_vsp:
        with pytest.raises(torvasoft.RefusedError):
            torvasoft.encode(picture, format)
        return
    encoded = torvasoft.encode(picture, format)
    again = torvasoft.decode(encoded, "again." + format, indexed=True)
    assert again.kind == format and again.size == picture.size
    if not lossy_pms16:
        assert again.to_rgba() == picture.to_rgba()
    if picture.mode == "P" and format != "qnt":
        # The indices and the palette's order are kept (PMS pads it to 256).
        assert again.pixels == picture.pixels
        assert again.palette[:len(picture.palette)] == picture.palette


def _levels(bits):
    top = (1 << bits) - 1
    return [round(255 * c / top) for c in range(top + 1)]


def test_pms16_rounds_each_channel_to_the_nearest_5_6_5_level():
    ramp = bytes(v for v in range(256) for _ in range(3))
    image = Image.frombytes("RGB", (256, 1), ramp)
    back = torvasoft.decode(torvasoft.encode(image, "pms16"), "ramp.pms").pixels
    for channel, bits in zip(range(3), (5, 6, 5)):
        levels = _levels(bits)
        for value in range(256):
            got = back[4 * value + channel]
            assert got in levels
            assert abs(got - value) == min(abs(level - value) for level in levels)


def _picture(width, height, colours, alpha=255):
    pixels = bytes(channel for i in range(width * height)
                   for channel in (*colours[i % len(colours)], alpha))
    return Image.frombytes("RGBA", (width, height), pixels)


@pytest.mark.parametrize("image, format, status", [
    (_picture(12, 4, [(0, 0, 0)]), "vsp", "bad-width"),
    (_picture(8, 4, [(1, 2, 3)]), "vsp", "not-four-bit"),
    (_picture(8, 4, [(17 * i, 0, 0) for i in range(16)] + [(0, 17, 0)]), "vsp", "too-many-colours"),
    (_picture(648, 8, [(0, 0, 0)]), "vsp", "off-screen"),
    (_picture(32, 32, [(i & 255, i >> 8, 0) for i in range(257)]), "pms8", "too-many-colours"),
    (_picture(8, 8, [(0, 0, 0)], alpha=128), "pms8", "has-alpha"),
])
def test_refusals_name_their_reason(image, format, status):
    with pytest.raises(torvasoft.RefusedError) as caught:
        torvasoft.encode(image, format)
    assert caught.value.status == status


@pytest.mark.parametrize("image, depth", [
    (_picture(16, 16, [(i, 0, 0) for i in range(256)]), 8),
    (_picture(32, 32, [(i & 255, i >> 8, 0) for i in range(257)]), 16),
    (_picture(8, 8, [(0, 0, 0)], alpha=128), 16),
])
def test_pms_is_8_bit_when_the_picture_fits(image, depth):
    assert torvasoft.inspect(torvasoft.encode(image, "pms")).depth == depth


def test_vsp_stores_its_position():
    image = _picture(16, 8, [(0, 0, 0), (255, 255, 255)])
    encoded = torvasoft.encode(image, "vsp", position=(64, 100))
    assert torvasoft.inspect(encoded, "x.vsp").position == (64, 100)


@pytest.mark.parametrize("kind", ["ald", "alk"])
def test_packed_archives_list_and_read_back(tmp_path, kind):
    import datetime
    time = datetime.datetime(2024, 5, 1, 18, 30, 15, tzinfo=datetime.timezone(datetime.timedelta(hours=9)))
    members = [("表紙.qnt", b"cover" * 1000, time), (b"\x81\x40x.txt", b"", time), ("last.bin", bytes(range(256)), time)]
    path = tmp_path / ("packed." + kind)
    torvasoft.pack(members, path)
    with torvasoft.Archive(path) as archive:
        assert [archive.read(member) for member in archive] == [data for _, data, _ in members if data or kind == "ald"]
        if kind == "ald":
            assert [m.raw_name for m in archive] == ["表紙.qnt".encode("cp932"), b"\x81\x40x.txt", b"last.bin"]
            assert all(m.time == time for m in archive)
    (told,) = torva_json("list", path)["files"]
    assert told["kind"] == kind and len(told["members"]) == len(torvasoft.Archive(path))


@pytest.mark.parametrize("kind, members, status", [
    ("ald", [("", b"x")], "name-empty"),
    ("ald", [("n" * 300, b"x")], "name-too-long"),
    ("alk", [], "no-members"),
])
def test_a_refused_pack_writes_nothing(tmp_path, kind, members, status):
    path = tmp_path / ("refused." + kind)
    with pytest.raises(torvasoft.RefusedError) as caught:
        torvasoft.pack(members, path)
    assert caught.value.status == status
    assert list(tmp_path.iterdir()) == []
