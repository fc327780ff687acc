#!/usr/bin/python3
"""Opens a bitmap with an independent reader and compares its pixels.

usage: bmp_matches.py BITMAP EXPECTED_RGB
EXPECTED_RGB holds the picture's pixels top row first, three bytes a pixel
(red, green, blue). Exit status 0 when they match, 1 when not, 77 when no
reader is installed.
"""
import sys

try:
    from PIL import Image
except ImportError:
    sys.exit(77)

bitmap, expected_path = sys.argv[1], sys.argv[2]
with Image.open(bitmap) as picture:
    if picture.format != "BMP":
        print(f"{bitmap}: read as {picture.format}, not BMP")
        sys.exit(1)
    pixels = picture.convert("RGB").tobytes()
    size = picture.size
with open(expected_path, "rb") as f:
    expected = f.read()
if pixels != expected:
    first = next((i for i in range(min(len(pixels), len(expected))) if pixels[i] != expected[i]), None)
    print(f"{bitmap}: {size[0]}x{size[1]}, {len(pixels)} bytes read, {len(expected)} expected, first difference at {first}")
    sys.exit(1)
