#!/usr/bin/env bash
# Makes the release files in dist/:
#   torvasoft-VERSION-win32.zip    torvasoft.dll, torva.exe, documents, licences
#   torvasoft_VERSION_amd64.deb    torva, its man page, the shared library, its
#                                  header, pkg-config file and CMake package,
#                                  the gdk-pixbuf loader, MIME types, thumbnailer
#   torvasoft-VERSION.tar.gz       the sources of the commit checked out, with
#                                  the Debian source trees of the libraries
#                                  the build compiles (third_party/src/)
#   torvasoft-VERSION-cp3*.whl     the Python package, the library beside it
# Each build is a release build of its own (build/package-*), without tests.
# Needs what scripts/setup.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(torvasoft VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
jobs=${TORVA_JOBS:-2}
mkdir -p dist

# build_package DIR GENERATOR FILE [CMAKE ARGUMENTS...]
build_package() {
  local dir=$1 generator=$2 file=$3
  shift 3
  local targets=(torvasoft torva)
  # The Debian package holds the Python module too (python/CMakeLists.txt).
  [ "$generator" = DEB ] && targets+=(torvasoft_python)
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTORVA_BUILD_TESTS=OFF "$@" >/dev/null
  # Natively, the gdk-pixbuf loader (desktop/) goes into the package too.
  [ "$generator" = DEB ] && targets+=(pixbufloader-torvasoft)
  # The zip carries the C interface as its own DLL beside the plug-in.
  [ "$generator" = ZIP ] && targets+=(torvasoft_c)
  cmake --build "$dir" -j "$jobs" --target "${targets[@]}"
  rm -f "$dir/cpack/$file"
  (cd "$dir" && cpack -G "$generator" -B "$PWD/cpack" >/dev/null)
  cp "$dir/cpack/$file" dist/
  echo "dist/$file"
}

echo "== packages of torvasoft $version"
build_package build/package-native DEB "torvasoft_${version}_amd64.deb" -DCMAKE_INSTALL_PREFIX=/usr
# The Python wheel, from the same build: the package with the library beside
# its module, for Debian's Python 3 (pip install dist/torvasoft-*.whl).
cmake --build build/package-native --target torvasoft_wheel >/dev/null
rm -f dist/torvasoft-"$version"-*.whl
cp build/package-native/python-dist/torvasoft-"$version"-*.whl dist/
ls dist/torvasoft-"$version"-*.whl
build_package build/package-win32 ZIP "torvasoft-${version}-win32.zip" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "package: the source tarball holds the last commit; uncommitted changes are not in it" >&2
fi
# The tarball builds as it is: the unpacked source trees that setup fetched
# (libdeflate, which every build patches and compiles; libspng and zlib for
# the cross and browser builds) travel inside it.
tarball=$PWD/dist/torvasoft-${version}.tar
git archive --format=tar --prefix="torvasoft-${version}/" -o "$tarball" HEAD
trees=()
for tree in third_party/src/*/; do trees+=("${tree%/}"); done
[ ${#trees[@]} -gt 0 ] || { echo "package: third_party/src is empty: run scripts/setup.sh" >&2; exit 1; }
tar --append -f "$tarball" --owner=0 --group=0 --transform "s|^|torvasoft-${version}/|" "${trees[@]}"
gzip -9nf "$tarball"
echo "dist/torvasoft-${version}.tar.gz"
