#!/usr/bin/env bash
# The whole-conversion benchmark (not run in CI): builds torva and the picture
# maker in the "bench" preset, writes the pictures once, and prints the tables
# of torva convert --format png beside ImageMagick from the BMP of the same
# pixels and beside decoding alone (per picture among many copies in one
# process, and as a whole process); then the PNG writer alone at its default
# and at every libdeflate level on the same bitmaps.
#   scripts/bench-convert.sh [--runs N] [--copies N]
set -euo pipefail
cd "$(dirname "$0")/.."
# Debian's ImageMagick, the reference (scripts/setup.sh installs it);
# /usr/bin/convert and /usr/bin/mogrify by their full paths.
if [ ! -x /usr/bin/convert ] || [ ! -x /usr/bin/mogrify ]; then
  echo "bench-convert.sh: ImageMagick is missing: run scripts/setup.sh" >&2
  exit 1
fi
cmake --preset bench >/dev/null
cmake --build build/bench -j2 --target torva torva_convert_pictures torva_png_level_sweep >/dev/null
pictures=build/bench/convert-pictures
[ -d "$pictures/batch" ] || ./build/bench/bin/torva_convert_pictures "$pictures"
python3 bench/convert_bench.py ./build/bench/bin/torva "$pictures" build/bench/convert-work "$@"
echo
./build/bench/bin/torva_png_level_sweep 5 "$pictures"/single/*
