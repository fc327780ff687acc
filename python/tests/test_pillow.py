import io

import pytest
from PIL import Image, ImageFile

import torvasoft
import torvasoft.pillow  # noqa: F401 - registers the formats
from conftest import converted_rgba

MODES = {"sunset.qnt": "RGB", "ring_alpha.qnt": "RGBA", "checker.pms": "P", "gradient16.pms": "RGB",
         "disc16_alpha.pms": "RGBA", "bars.vsp": "P"}


@pytest.mark.parametrize("name, mode", MODES.items())
def test_open_gives_the_mode_and_lazily_the_pixels_of_torva(pictures, tmp_path, name, mode):
    path = pictures / name
    with Image.open(path) as image:
        assert (image.format, image.mode) == (name[-3:].upper(), mode)
        assert image.size == torvasoft.inspect(path.read_bytes(), name).size
        assert image.im is None  # nothing decoded before load
        assert image.convert("RGBA").tobytes() == converted_rgba(path, tmp_path)
        if mode == "P":
            stored = torvasoft.decode(path.read_bytes(), name, indexed=True)
            assert image.tobytes() == stored.pixels
            assert bytes(image.getpalette()[:len(stored.palette)]) == stored.palette


def _reopened(image, format, **options):
    buffer = io.BytesIO()
    image.save(buffer, format=format, **options)
    buffer.seek(0)
    buffer.name = "saved." + format.lower()
    return Image.open(buffer)


@pytest.mark.parametrize("name", MODES)
@pytest.mark.parametrize("format", ["QNT", "PMS"])
def test_saved_pictures_open_with_the_same_pixels(pictures, name, format):
    with Image.open(pictures / name) as image:
        with _reopened(image, format) as again:
            assert again.format == format and again.size == image.size
            if format == "PMS" and image.mode != "P" and name.endswith(".qnt"):
                return  # 16-bit PMS rounds full colour (test_writing checks how)
            assert again.convert("RGBA").tobytes() == image.convert("RGBA").tobytes()


def test_a_palette_image_keeps_its_palette_order_in_pms_and_vsp():
    colours = [(17 * (15 - i), 17 * i, 0) for i in range(16)]
    image = Image.new("P", (16, 8))
    image.putpalette([c for colour in colours for c in colour])
    image.putdata([i % 16 for i in range(16 * 8)])
    for format in ("PMS", "VSP"):
        with _reopened(image, format, position=(8, 16)) as again:
            assert again.mode == "P"
            assert again.tobytes() == image.tobytes()
            assert again.getpalette()[:48] == image.getpalette()[:48]
            if format == "VSP":
                assert again.info["position"] == (8, 16)


def test_pms_depth_option_forces_16_bit():
    image = Image.new("RGB", (8, 8), (255, 0, 0))
    with _reopened(image, "PMS", depth=16) as again:
        assert again.mode == "RGB"
        assert torvasoft.inspect(_saved_bytes(image, "PMS", depth=16)).depth == 16
    with _reopened(image, "PMS") as again:
        assert again.mode == "P"


def _saved_bytes(image, format, **options):
    buffer = io.BytesIO()
    image.save(buffer, format=format, **options)
    return buffer.getvalue()


def test_a_refused_save_raises_value_error(tmp_path):
    with pytest.raises(ValueError):
        Image.new("RGB", (12, 8)).save(tmp_path / "odd.vsp")
    assert list(tmp_path.iterdir()) == []


def test_vsp_without_a_name_is_not_opened(pictures):
    with pytest.raises(Image.UnidentifiedImageError):
        Image.open(io.BytesIO((pictures / "bars.vsp").read_bytes()))


def test_damage_raises_unless_truncated_images_are_allowed(pictures, tmp_path, monkeypatch):
    path = tmp_path / "cut.pms"
    path.write_bytes((pictures / "checker.pms").read_bytes()[:3000])
    with Image.open(path) as image:
        with pytest.raises(torvasoft.DamagedError) as caught:
            image.load()
        assert caught.value.status == "truncated"
    monkeypatch.setattr(ImageFile, "LOAD_TRUNCATED_IMAGES", True)
    with Image.open(path) as image:
        image.load()
        assert image.info["torvasoft_status"] == "truncated"
        assert image.convert("RGBA").tobytes() == converted_rgba(path, tmp_path, "--keep-damaged")
