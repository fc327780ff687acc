#!/usr/bin/env bash
# Builds the release files (scripts/package.sh) and uses each as a user
# would, from the installed or unpacked files only:
#   .deb     unpacked into a scratch root: torva --version, one conversion,
#            the desktop files (gdk-pixbuf loader, its registration, MIME
#            types, thumbnailer entry) and thumbnails through the loader,
#            a small host built with the installed pkg-config flags and with
#            find_package(torvasoft), and a C host (a C compiler alone) that
#            decodes every sample picture to the RGBA torva writes and lists
#            both sample archives; its Python module imported;
#   .zip     the expected files; the DLL's imports; torva.exe --version and
#            the same conversion under Wine, the same PNG bytes;
#   .tar.gz  the sources under torvasoft-VERSION/, unpacked into a fresh
#            folder and configured, built and installed with the README's
#            "From source" steps;
#   .whl     installed into a fresh venv: its own library, the Python tests.
# The sample picture comes from the project's writers (build/native).
set -euo pipefail
cd "$(dirname "$0")/.."
root_dir=$PWD

bash scripts/package.sh
version=$(sed -n 's/^project(torvasoft VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb=dist/torvasoft_${version}_amd64.deb
zip=dist/torvasoft-${version}-win32.zip
tarball=dist/torvasoft-${version}.tar.gz
wheel=$(ls dist/torvasoft-"${version}"-cp3*-linux_x86_64.whl)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-packages: $*" >&2; exit 1; }

[ -x build/native/bin/torva_samples ] || { cmake --preset native >/dev/null; cmake --build --preset native --target torva_samples; }
build/native/bin/torva_samples "$scratch/samples" >/dev/null
picture=$scratch/samples/pictures/sunset.qnt

echo "== $deb"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libstdc++6 libgcc-s1 zlib1g; do
  [[ "$depends" == *"$package"* ]] || fail "Depends lacks $package: $depends"
done
dpkg -x "$deb" "$scratch/root"
usr=$scratch/root/usr
libdir=$(dirname "$(find "$usr/lib" -name 'libtorvasoft.so.*.*.*' -print -quit)")
soname=$(objdump -p "$libdir"/libtorvasoft.so.*.*.* | awk '$1 == "SONAME" {print $2}')
[ "$soname" = "libtorvasoft.so.${version%.*}" ] || fail "SONAME is '$soname'"
[ -f "$usr/share/man/man1/torva.1" ] || fail "no man page"
grep -q "^\.TH TORVA 1 .*\"torvasoft $version\"" "$usr/share/man/man1/torva.1" ||
  fail "the man page does not carry the version $version"
[ -s "$usr/share/doc/torvasoft/licences/libdeflate.txt" ] || fail "no licence text for the libdeflate linked in"
# Nothing from the build tree or the system's /usr/local may be used.
installed() { env -i PATH=/usr/bin:/bin LD_LIBRARY_PATH="$libdir" "$@"; }
said=$(installed "$usr/bin/torva" --version)
[[ "$said" == *"$version"* ]] || fail "torva --version says '$said'"
installed "$usr/bin/torva" convert "$picture" -o "$scratch/native" >/dev/null
[ "$(head -c 8 "$scratch/native/sunset.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "no PNG from torva"

# The desktop integration: the gdk-pixbuf loader with the scripts that
# register it, the MIME types and the thumbnailer entry; the unpacked loader,
# registered in a scratch cache, thumbnails a QNT, a PMS with alpha and a VSP.
loader=$(find "$usr/lib" -path '*/gdk-pixbuf-2.0/2.10.0/loaders/libpixbufloader-torvasoft.so' -print -quit)
[ -n "$loader" ] || fail "no gdk-pixbuf loader in gdk-pixbuf's module folder"
[ -s "$usr/share/mime/packages/torvasoft.xml" ] || fail "no MIME types"
grep -q '^MimeType=image/x-qnt;image/x-pms;image/x-vsp;$' "$usr/share/thumbnailers/torvasoft.thumbnailer" ||
  fail "no thumbnailer entry for the three picture types"
dpkg-deb -e "$deb" "$scratch/control"
for script in postinst postrm; do
  [ -x "$scratch/control/$script" ] || fail "no $script"
  grep -q 'gdk-pixbuf-query-loaders --update-cache' "$scratch/control/$script" || fail "$script does not update the loader cache"
  grep -q 'update-mime-database' "$scratch/control/$script" || fail "$script does not update the MIME database"
done
query_loaders=$(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0 2>/dev/null ||
  echo /usr/lib/x86_64-linux-gnu/gdk-pixbuf-2.0/gdk-pixbuf-query-loaders)
installed "$query_loaders" "$loader" >"$scratch/loaders.cache"
grep -q '"torvasoft"' "$scratch/loaders.cache" || fail "gdk-pixbuf cannot load the unpacked loader"
mkdir -p "$scratch/desktop/mime/packages"
cp "$usr/share/mime/packages/torvasoft.xml" "$scratch/desktop/mime/packages/"
update-mime-database "$scratch/desktop/mime" 2>/dev/null
for thumbnailed in sunset.qnt disc16_alpha.pms bars.vsp; do
  installed GDK_PIXBUF_MODULE_FILE="$scratch/loaders.cache" XDG_DATA_DIRS="$scratch/desktop:/usr/share" \
    gdk-pixbuf-thumbnailer -s 128 "file://$scratch/samples/pictures/$thumbnailed" "$scratch/$thumbnailed.png" ||
    fail "no thumbnail of $thumbnailed through the unpacked loader"
  [ "$(head -c 8 "$scratch/$thumbnailed.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
    fail "the thumbnail of $thumbnailed is no PNG"
done

export PKG_CONFIG_PATH=$libdir/pkgconfig PKG_CONFIG_SYSROOT_DIR=$scratch/root
[ "$(pkg-config --modversion torvasoft)" = "$version" ] || fail "pkg-config reports another version"
# shellcheck disable=SC2046
g++ -std=c++17 -o "$scratch/decode-pc" scripts/package-check/decode.cpp $(pkg-config --cflags --libs torvasoft)
said=$(installed "$scratch/decode-pc" "$picture") || fail "pkg-config host: $said"
[[ "$said" =~ ^$version\ complete\ [0-9]+x[0-9]+$ ]] || fail "pkg-config host says '$said'"
cmake -S scripts/package-check -B "$scratch/host" -G Ninja -DCMAKE_PREFIX_PATH="$usr" >/dev/null
cmake --build "$scratch/host" >/dev/null
said=$(installed "$scratch/host/decode" "$picture") || fail "find_package host: $said"
[[ "$said" =~ ^$version\ complete\ [0-9]+x[0-9]+$ ]] || fail "find_package host says '$said'"

# The C interface from C alone: the same RGBA as torva's PNGs, the same
# members as torva list.
# shellcheck disable=SC2046
gcc -std=c99 -Wall -pedantic -o "$scratch/c-host" scripts/package-check/c_host.c $(pkg-config --cflags --libs torvasoft)
installed "$usr/bin/torva" convert "$scratch"/samples/pictures/* -o "$scratch/c-png" >/dev/null
for file in "$scratch"/samples/pictures/*; do
  name=$(basename "$file")
  read -r width height status < <(installed "$scratch/c-host" picture "$file" "$scratch/c.rgba") || fail "C host: $name"
  [ "$status" = complete ] || fail "C host: $name is $status"
  /usr/bin/python3 scripts/package-check/same_rgba.py "$scratch/c-png/${name%.*}.png" "$scratch/c.rgba" "$width" "$height" \
    || fail "C host: $name decodes to other pixels than torva's"
done
for archive in "$scratch"/samples/samples.ald "$scratch"/samples/samples.alk; do
  listed=$(installed "$scratch/c-host" list "$archive") || fail "C host cannot list $archive"
  expected=$(installed "$usr/bin/torva" list "$archive" | awk '{print $1, $2}')
  [ "$listed" = "$expected" ] || fail "C host lists other members of $archive"
done

# The Python module of the .deb, imported against the unpacked library.
[ -f "$usr/lib/python3/dist-packages/torvasoft/pillow.py" ] || fail "the .deb lacks the Python package"
said=$(installed PYTHONPATH="$usr/lib/python3/dist-packages" /usr/bin/python3 -c \
  'import sys, torvasoft; p = torvasoft.decode(open(sys.argv[1], "rb").read()); print(torvasoft.__file__, p.status)' \
  "$picture") || fail "the .deb's Python package: $said"
[ "$said" = "$usr/lib/python3/dist-packages/torvasoft/__init__.py complete" ] || fail "the .deb's Python package says '$said'"

echo "== $wheel"
# Installed into a fresh venv (Debian's cffi and Pillow through the system
# site-packages), the wheel must work alone: its library, not the .deb's or
# the build tree's, and the whole pytest suite from there.
[ -x build/native/bin/torva ] || cmake --build --preset native --target torva
/usr/bin/python3 -m venv --system-site-packages "$scratch/venv"
"$scratch/venv/bin/pip" install -q --no-index "$wheel"
venv_python() { env -i PATH=/usr/bin:/bin "$@"; }
said=$(cd "$scratch" && venv_python "$scratch/venv/bin/python" -c \
  'import torvasoft; print(next(l.split()[-1] for l in open("/proc/self/maps") if "libtorvasoft" in l))')
[[ "$said" == "$scratch/venv/"*"/site-packages/torvasoft/libtorvasoft.so."* ]] || fail "the wheel's module loads '$said'"
(cd "$scratch" && venv_python TORVA="$root_dir/build/native/bin/torva" TORVA_SAMPLES="$root_dir/build/native/bin/torva_samples" \
  "$scratch/venv/bin/python" -m pytest -q -p no:cacheprovider "$root_dir/python/tests") >/dev/null ||
  fail "the Python tests fail against the installed wheel"

echo "== $zip"
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$root_dir/$zip")
for file in torvasoft.dll torvasoft-c.dll lib/libtorvasoft-c.dll.a include/torvasoft/torvasoft.h \
            include/torvasoft/torvasoft.hpp include/torvasoft/version.h torva.exe README.md LICENSE CHANGES THIRD-PARTY-NOTICES licences/zlib.txt \
            licences/libdeflate.txt licences/libspng.txt licences/gcc-runtime-libgcc-libstdc++.txt \
            licences/mingw-w64-runtime-winpthreads.txt; do
  [ -s "$scratch/zip/$file" ] || fail "the zip lacks $file"
done
LC_ALL=C cmake -DOBJDUMP="$(command -v i686-w64-mingw32-objdump)" -DDLL="$scratch/zip/torvasoft.dll" \
  -P tests/windows/check_dll_tables.cmake >/dev/null
. scripts/wine-runs.sh
if wine_runs; then
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  said=$(wine "$scratch/zip/torva.exe" --version)
  [[ "$said" == *"$version"* ]] || fail "torva.exe --version says '$said'"
  (cd "$scratch" && wine zip/torva.exe convert samples/pictures/sunset.qnt -o windows >/dev/null)
  cmp "$scratch/native/sunset.png" "$scratch/windows/sunset.png" || fail "torva.exe wrote other bytes"
elif command -v wine >/dev/null; then
  wine_cannot_run_notice "torva.exe from the zip"
elif [ -n "${CI:-}" ]; then
  fail "Wine is needed to run torva.exe"
fi

echo "== $tarball"
contents=$(tar -tzf "$tarball")
for file in CMakeLists.txt LICENSE CHANGES scripts/setup.sh include/torvasoft/torvasoft.h; do
  grep -qx "torvasoft-${version}/$file" <<<"$contents" || fail "the tarball lacks $file"
done
# The README's "From source" steps, in a fresh folder, installing into a
# scratch root.
mkdir "$scratch/source"
tar -xzf "$tarball" -C "$scratch/source"
(
  # A fresh shell's environment: not the unpacked .deb's pkg-config paths.
  unset PKG_CONFIG_PATH PKG_CONFIG_SYSROOT_DIR
  cd "$scratch/source/torvasoft-${version}"
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTORVA_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr/local >/dev/null
  cmake --build build -j2 >/dev/null
  DESTDIR="$scratch/source-root" cmake --install build >/dev/null
) || fail "the tarball does not build with the README's steps"
[ -x "$scratch/source-root/usr/local/bin/torva" ] || fail "the tarball's build installs no torva"
[ -f "$scratch/source-root/usr/local/include/torvasoft/torvasoft.h" ] || fail "the tarball's build installs no header"
echo "== packages checked"
