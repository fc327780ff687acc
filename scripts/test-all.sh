#!/usr/bin/env bash
# Runs every test: native, native under the sanitizers, and (when the
# cross compiler and Wine are installed) the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

run_preset() {
  cmake --preset "$1"
  cmake --build --preset "$1"
  ctest --preset "$1"
}

run_preset native
run_preset native-asan
if command -v i686-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null && [ -f cmake/mingw-i686.cmake ]; then
  run_preset win32
fi
