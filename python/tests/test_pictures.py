import pytest

import torvasoft
from conftest import PICTURES, converted_rgba, torva_json


@pytest.mark.parametrize("name", PICTURES)
def test_decode_and_inspect_agree_with_torva(pictures, tmp_path, name):
    path = pictures / name
    data = path.read_bytes()
    picture = torvasoft.decode(data, name)
    assert picture.mode == "RGBA" and picture.status == "complete"
    assert picture.pixels == converted_rgba(path, tmp_path)
    assert picture.produced == picture.width * picture.height

    (told,) = torva_json("info", path)["files"]
    info = torvasoft.inspect(data, name)
    assert (info.kind, info.width, info.height, info.depth) == (told["kind"], told["width"], told["height"],
                                                                 told["depth"])
    assert info.status == "complete" and info.size == picture.size


@pytest.mark.parametrize("name, mode, entries", [
    ("bars.vsp", "P", 16), ("checker.pms", "P", 256), ("gradient16.pms", "RGBA", 0), ("sunset.qnt", "RGBA", 0),
])
def test_indexed_decode_keeps_indices_and_palette(pictures, name, mode, entries):
    data = (pictures / name).read_bytes()
    picture = torvasoft.decode(data, name, indexed=True)
    assert picture.mode == mode
    assert len(picture.pixels) == picture.width * picture.height * (1 if mode == "P" else 4)
    assert len(picture.palette or b"") == 3 * entries
    assert picture.to_rgba() == torvasoft.decode(data, name).pixels


def _cut(data, keep):
    return data[:keep]


def _scramble_stream(data):
    # QNT's colour stream starts after its header (52 bytes in version 2);
    # bytes that are no zlib stream make it corrupt.
    return data[:52] + bytes(0xA5 ^ b for b in data[52:200]) + data[200:]


@pytest.mark.parametrize("name, damage, status", [
    ("checker.pms", lambda d: _cut(d, 3000), "truncated"),
    ("gradient16.pms", lambda d: _cut(d, 5000), "truncated"),
    ("bars.vsp", lambda d: _cut(d, 200), "truncated"),
    ("sunset.qnt", _scramble_stream, "corrupt"),
])
def test_damage_raises_with_the_partial_picture_torva_keeps(pictures, tmp_path, name, damage, status):
    path = tmp_path / name
    path.write_bytes(damage((pictures / name).read_bytes()))
    with pytest.raises(torvasoft.DamagedError) as caught:
        torvasoft.decode(path.read_bytes(), name)
    error = caught.value
    assert error.status == status and isinstance(error, OSError)
    assert error.picture.status == status
    assert error.picture.produced < error.picture.width * error.picture.height
    assert error.picture.pixels == converted_rgba(path, tmp_path, "--keep-damaged")


@pytest.mark.parametrize("data, name", [(b"", None), (b"not a picture at all", "x.qnt"),
                                        (b"\0" * 64, None)])
def test_other_bytes_are_not_recognised(data, name):
    with pytest.raises(torvasoft.NotRecognisedError):
        torvasoft.inspect(data, name)
    with pytest.raises(torvasoft.NotRecognisedError):
        torvasoft.decode(data, name)


def test_vsp_needs_its_name(pictures):
    data = (pictures / "bars.vsp").read_bytes()
    assert torvasoft.detect(data, "BARS.VSP") == "vsp"
    assert torvasoft.detect(data) is None
    with pytest.raises(torvasoft.NotRecognisedError):
        torvasoft.decode(data)


def test_pixel_limit_refuses_larger_pictures(pictures):
    data = (pictures / "sunset.qnt").read_bytes()
    torvasoft.set_limits(max_pixels=128 * 96 - 1)
    try:
        with pytest.raises(torvasoft.Error) as caught:
            torvasoft.decode(data)
        assert caught.value.status == "too-large"
    finally:
        torvasoft.set_limits()
    assert torvasoft.decode(data).status == "complete"
