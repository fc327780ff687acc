"""Shared fixtures: the sample files torva_samples writes, and the torva
tool whose outputs the package is compared with. CTest sets TORVA and
TORVA_SAMPLES (python/CMakeLists.txt); by hand, they default to the native
build's."""
import json
import os
import pathlib
import subprocess

import pytest
from PIL import Image

ROOT = pathlib.Path(__file__).resolve().parents[2]
TORVA = os.environ.get("TORVA", str(ROOT / "build/native/bin/torva"))
TORVA_SAMPLES = os.environ.get("TORVA_SAMPLES", str(ROOT / "build/native/bin/torva_samples"))

PICTURES = ["sunset.qnt", "ring_alpha.qnt", "checker.pms", "gradient16.pms", "disc16_alpha.pms", "bars.vsp"]


def torva(*arguments, check=True):
    return subprocess.run([TORVA, *map(str, arguments)], capture_output=True, check=check)


def torva_json(*arguments):
    """The --json document; damage still gives one (with exit status 1)."""
    return json.loads(torva(*arguments, "--json", check=False).stdout)


def converted_rgba(path, tmp_path, *options):
    """The RGBA pixels of `torva convert` for one picture, through its PNG."""
    out = tmp_path / (pathlib.Path(path).stem + ".png")
    torva("convert", path, "-o", out, *options, check=False)
    with Image.open(out) as png:
        return png.convert("RGBA").tobytes()


@pytest.fixture(scope="session")
def samples(tmp_path_factory):
    directory = tmp_path_factory.mktemp("samples")
    subprocess.run([TORVA_SAMPLES, str(directory)], check=True, capture_output=True)
    return directory


@pytest.fixture(scope="session")
def pictures(samples):
    return samples / "pictures"
