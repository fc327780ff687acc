#!/usr/bin/env bash
# Installs what a fresh machine lacks: the native toolchain and GoogleTest,
# clang with libFuzzer,
# the mingw-w64 cross compiler with zlib for it, 32-bit Wine with a prepared
# prefix, the Japanese locale, and an independent image reader.
set -euo pipefail

# Debian's own interpreter: the one that Debian's python3-pil installs into,
# whatever python3 comes first on the PATH.
system_python=/usr/bin/python3

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
command -v make >/dev/null || need+=(make)
# clang with libFuzzer and its sanitizer runtimes, for the fuzz run in CI.
command -v clang++ >/dev/null || need+=(clang)
ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || need+=(libclang-rt-dev)
[ -f /usr/include/zlib.h ] || need+=(zlib1g-dev)
# libpng reads back the PNGs that torva writes, in its tests.
[ -f /usr/include/png.h ] || need+=(libpng-dev)
# libspng: PNG input for authoring. libdeflate (inflate, deflate and CRC-32)
# is compiled in every build from Debian's source package (fetched below),
# with a patch of ours applied by `patch`.
[ -f /usr/include/spng.h ] || need+=(libspng-dev)
command -v patch >/dev/null || need+=(patch)
[ -d /usr/src/googletest ] || need+=(googletest libgtest-dev)
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
[ -f /usr/i686-w64-mingw32/lib/libz.a ] || need+=(libz-mingw-w64-dev)
{ command -v wine >/dev/null && dpkg -s wine32:i386 >/dev/null 2>&1; } || need+=(wine wine32:i386)
command -v localedef >/dev/null || need+=(locales)
{ [ -x "$system_python" ] && "$system_python" -c 'import PIL' 2>/dev/null; } || need+=(python3 python3-pil)
# The Python package (python/): cffi and the headers to build it, pytest,
# build, wheel and venv to test and package it.
for python_need in cffi:python3-cffi pytest:python3-pytest build:python3-build wheel:python3-wheel \
                   setuptools:python3-setuptools; do
  "$system_python" -c "import ${python_need%%:*}" 2>/dev/null || need+=("${python_need#*:}")
done
# venv imports without it, but only python3-venv brings the pip it installs.
dpkg -s python3-venv >/dev/null 2>&1 || need+=(python3-venv)
compgen -G '/usr/include/python3*/Python.h' >/dev/null || need+=(python3-dev)

# Packaging (scripts/package.sh, scripts/check-packages.sh): dpkg-shlibdeps
# computes the Debian package's dependencies (CPack finds the binaries with
# file); pkg-config builds a host against the installed library.
command -v dpkg-shlibdeps >/dev/null || need+=(dpkg-dev)
command -v file >/dev/null || need+=(file)
command -v pkg-config >/dev/null || need+=(pkgconf)
# The PNG benchmark's reference (scripts/bench-convert.sh): ImageMagick's
# /usr/bin/convert and /usr/bin/mogrify.
[ -x /usr/bin/mogrify ] || need+=(imagemagick)

# The desktop integration (desktop/, torva mount): gdk-pixbuf for the image
# loader and its thumbnailer, shared-mime-info to check the MIME types,
# libfuse3 and fusermount3 for the mounted archives.
[ -f /usr/include/gdk-pixbuf-2.0/gdk-pixbuf/gdk-pixbuf.h ] || need+=(libgdk-pixbuf-2.0-dev)
command -v gdk-pixbuf-thumbnailer >/dev/null || need+=(libgdk-pixbuf2.0-bin)
command -v update-mime-database >/dev/null || need+=(shared-mime-info)
[ -f /usr/include/fuse3/fuse.h ] || need+=(libfuse3-dev)
command -v fusermount3 >/dev/null || need+=(fuse3)

if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# The Windows tests run in code page 932, which Wine takes from LC_ALL; the
# locale is generated so that Wine's own file-name conversions have it too.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 2>/dev/null || echo "setup: could not generate ja_JP.UTF-8" >&2
fi

# Wine builds its prefix on first use, which takes long enough to trip a test
# timeout; build it now, without the .NET and HTML engine installers.
if [ ! -f "${WINEPREFIX:-$HOME/.wine}/system.reg" ]; then
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
fi

# Third-party libraries compiled from Debian's source packages: libdeflate
# in every build, libspng and zlib in the Windows and browser builds
# (natively their -dev packages are used). Each lands
# in third_party/src/NAME-VERSION/, fetched once; the CMake targets that
# build them live in cmake/.
source_packages=(libdeflate libspng zlib)
source_dir="$(cd "$(dirname "$0")/.." && pwd)/third_party/src"
missing_sources=()
for package in "${source_packages[@]}"; do
  compgen -G "$source_dir/$package-[0-9]*/" >/dev/null || missing_sources+=("$package")
done
if [ ${#missing_sources[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  command -v dpkg-source >/dev/null || { apt-get update -qq; apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null; }
  # A deb-src entry mirroring the machine's own Debian entry.
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > /etc/apt/sources.list.d/debian-src.sources
    else
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > /etc/apt/sources.list.d/debian-src.list
    fi
  fi
  apt-get update -qq
  mkdir -p "$source_dir"
  for package in "${missing_sources[@]}"; do
    # When the newest version's source is not served (a security update),
    # the oldest version listed, the main suite's, is taken.
    (cd "$source_dir" && { apt-get source -qq "$package" || apt-get source -qq "$package=$(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -V | head -1)"; } >/dev/null 2>&1) ||
      { echo "setup: could not fetch the source of $package" >&2; exit 1; }
  done
fi

# ---- The browser viewer (web/): emscripten for the build; Debian's chromium
# and a Japanese font for its tests in a headless browser; the npm modules
# in web/ (fflate, bundled into the site, and puppeteer-core, which drives
# Debian's chromium and never downloads a browser of its own).
web_need=()
command -v emcc >/dev/null || web_need+=(emscripten)
command -v chromium >/dev/null || web_need+=(chromium)
[ -d /usr/share/fonts/opentype/ipafont-gothic ] || web_need+=(fonts-ipafont-gothic)
command -v npm >/dev/null || web_need+=(npm)
if [ ${#web_need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${web_need[@]}" >/dev/null
fi
web_dir="$(cd "$(dirname "$0")/.." && pwd)/web"
if [ ! "$web_dir/node_modules/.package-lock.json" -nt "$web_dir/package-lock.json" ]; then
  (cd "$web_dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
