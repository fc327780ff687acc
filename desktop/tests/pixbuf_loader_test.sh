#!/usr/bin/env bash
# The gdk-pixbuf loader as the desktop uses it: a module cache made by
# gdk-pixbuf-query-loaders for the built loader, a MIME database made from
# our types, the samples' pixels checked against the C interface and
# `torva convert` (pixbuf_loader_test.c), and gdk-pixbuf-thumbnailer
# writing thumbnails through the loader.
#   pixbuf_loader_test.sh LOADER TEST TORVA TORVA_SAMPLES QUERY_LOADERS MIME_XML THUMBNAILER_FILE
set -euo pipefail
loader=$1 test_program=$2 torva=$3 samples_maker=$4 query_loaders=$5 mime_xml=$6 thumbnailer_file=$7

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$samples_maker" "$scratch/samples" >/dev/null
pictures=$scratch/samples/pictures
"$torva" convert "$pictures"/* -o "$scratch/png" >/dev/null

"$query_loaders" "$loader" >"$scratch/loaders.cache"
grep -q '"image/x-vsp"' "$scratch/loaders.cache" || fail "gdk-pixbuf-query-loaders lists no VSP type: $(cat "$scratch/loaders.cache")"
export GDK_PIXBUF_MODULE_FILE=$scratch/loaders.cache

# gdk-pixbuf picks loaders by the type shared-mime-info finds: ours from the
# scratch database, the rest (PNG) from the system's.
mkdir -p "$scratch/data/mime/packages"
cp "$mime_xml" "$scratch/data/mime/packages/torvasoft.xml"
update-mime-database "$scratch/data/mime" 2>/dev/null
export XDG_DATA_HOME=$scratch/home XDG_DATA_DIRS=$scratch/data:/usr/share

mkdir "$scratch/cut"
"$test_program" pictures "$pictures" "$scratch/png" "$scratch/cut"

# Thumbnails at 128 (the samples' size: kept) and at 64 (scaled down to fit,
# keeping their proportions), run as the .thumbnailer file says.
exec_line=$(sed -n 's/^Exec=//p' "$thumbnailer_file")
[[ "$exec_line" == "gdk-pixbuf-thumbnailer -s %s %u %o" ]] || fail "the thumbnailer file runs '$exec_line'"
for size in 128 64; do
for picture in sunset.qnt disc16_alpha.pms bars.vsp; do
  read -r width height alpha < <("$test_program" size "$pictures/$picture")
  longest=$((width > height ? width : height))
  if [ "$longest" -gt "$size" ]; then
    # The longer side becomes the size, the other is scaled to match.
    if [ "$width" -ge "$height" ]; then
      want="$size $(( (height * size + width / 2) / width )) $alpha"
    else
      want="$(( (width * size + height / 2) / height )) $size $alpha"
    fi
  else
    want="$width $height $alpha"
  fi
  rm -f "$scratch/thumbnail.png"
  gdk-pixbuf-thumbnailer -s "$size" "file://$pictures/$picture" "$scratch/thumbnail.png" ||
    fail "gdk-pixbuf-thumbnailer failed on $picture"
  [ "$(head -c 8 "$scratch/thumbnail.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "the thumbnail of $picture is no PNG"
  got=$("$test_program" size "$scratch/thumbnail.png")
  [ "$got" = "$want" ] || fail "the $size thumbnail of $picture is '$got' (width height alpha), not '$want'"
done
done
echo "loader, thumbnails: all checked"
