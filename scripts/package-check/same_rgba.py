"""Exits 0 when a PNG's pixels, as RGBA, equal a raw RGBA file of WIDTH x HEIGHT."""
import sys

from PIL import Image

png, raw, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
picture = Image.open(png).convert("RGBA")
with open(raw, "rb") as f:
    expected = f.read()
same = picture.size == (width, height) and picture.tobytes() == expected
if not same:
    print(f"{png}: {picture.size} against {width}x{height}, pixels differ", file=sys.stderr)
sys.exit(0 if same else 1)
