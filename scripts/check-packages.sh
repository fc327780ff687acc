#!/usr/bin/env bash
# Builds the release files (scripts/package.sh) and uses each as a user
# would, from the installed or unpacked files only:
#   .deb     unpacked into a scratch root: torva --version, one conversion,
#            a small host built with the installed pkg-config flags and with
#            find_package(torvasoft); its Python module imported;
#   .zip     the expected files; the DLL's imports; torva.exe --version and
#            the same conversion under Wine, the same PNG bytes;
#   .tar.gz  the sources at the top, under torvasoft-VERSION/;
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
[ -s "$usr/share/doc/torvasoft/licences/libdeflate.txt" ] || fail "no licence text for the libdeflate linked in"
# Nothing from the build tree or the system's /usr/local may be used.
installed() { env -i PATH=/usr/bin:/bin LD_LIBRARY_PATH="$libdir" "$@"; }
said=$(installed "$usr/bin/torva" --version)
[[ "$said" == *"$version"* ]] || fail "torva --version says '$said'"
installed "$usr/bin/torva" convert "$picture" -o "$scratch/native" >/dev/null
[ "$(head -c 8 "$scratch/native/sunset.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "no PNG from torva"

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
for file in torvasoft.dll torva.exe README.md LICENSE CHANGES THIRD-PARTY-NOTICES licences/zlib.txt \
            licences/libdeflate.txt licences/libspng.txt licences/gcc-runtime-libgcc-libstdc++.txt \
            licences/mingw-w64-runtime-winpthreads.txt; do
  [ -s "$scratch/zip/$file" ] || fail "the zip lacks $file"
done
LC_ALL=C cmake -DOBJDUMP="$(command -v i686-w64-mingw32-objdump)" -DDLL="$scratch/zip/torvasoft.dll" \
  -P tests/windows/check_dll_tables.cmake >/dev/null
if command -v wine >/dev/null; then
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  said=$(wine "$scratch/zip/torva.exe" --version)
  [[ "$said" == *"$version"* ]] || fail "torva.exe --version says '$said'"
  (cd "$scratch" && wine zip/torva.exe convert samples/pictures/sunset.qnt -o windows >/dev/null)
  cmp "$scratch/native/sunset.png" "$scratch/windows/sunset.png" || fail "torva.exe wrote other bytes"
elif [ -n "${CI:-}" ]; then
  fail "Wine is needed to run torva.exe"
fi

echo "== $tarball"
contents=$(tar -tzf "$tarball")
for file in CMakeLists.txt LICENSE CHANGES scripts/setup.sh include/torvasoft/torvasoft.h; do
  grep -qx "torvasoft-${version}/$file" <<<"$contents" || fail "the tarball lacks $file"
done
echo "== packages checked"
