#!/usr/bin/env bash
# Installs what a fresh machine lacks: the mingw-w64 cross compiler with zlib
# for it, 32-bit Wine, the Japanese locale, and an independent image reader.
set -euo pipefail
need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
[ -f /usr/i686-w64-mingw32/lib/libz.a ] || need+=(libz-mingw-w64-dev)
command -v wine >/dev/null || need+=(wine wine32)
python3 -c 'import PIL' 2>/dev/null || need+=(python3-pil)
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
