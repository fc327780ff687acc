#!/usr/bin/env bash
# Runs every test: native, native under the sanitizers, the concurrency test
# under ThreadSanitizer, the Windows 32-bit build under Wine, the browser
# viewer in headless chromium, and the release packages built and installed
# into a scratch root; in CI also
# a bounded fuzz run of each target (TORVA_FUZZ_SECONDS, default 60). Without the cross compiler or Wine the Windows
# run is skipped with a notice, except in CI, where it is required.
set -euo pipefail
cd "$(dirname "$0")/.."

# Whatever a fresh machine lacks is installed first (a no-op when present).
bash scripts/setup.sh

# Two compile jobs: the machines have two cores and are shared.
jobs=${TORVA_JOBS:-2}

run_preset() {
  echo "== $1"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1"
}

run_preset native
run_preset native-asan
# Only the concurrency test runs here (the preset sets GTEST_FILTER); the
# build is of the test program alone.
run_preset native-tsan
. scripts/wine-runs.sh
if command -v i686-w64-mingw32-g++-posix >/dev/null && wine_runs; then
  run_preset win32
elif command -v i686-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
  # Built all the same, so that the Windows sources still compile and link.
  echo "== win32 (built only)"
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$jobs"
  wine_cannot_run_notice "the win32 tests"
elif [ -n "${CI:-}" ]; then
  echo "the Windows build needs i686-w64-mingw32-g++-posix and wine: run scripts/setup.sh" >&2
  exit 1
else
  echo "== win32 skipped: no mingw-w64 cross compiler or no Wine (scripts/setup.sh installs them)"
fi

# The browser viewer: its WebAssembly build, then its tests in headless
# chromium against the native tools built above.
run_preset web

# The release files, built and used as a user would (scripts/check-packages.sh).
if command -v i686-w64-mingw32-g++-posix >/dev/null; then
  echo "== packages"
  bash scripts/check-packages.sh
elif [ -n "${CI:-}" ]; then
  echo "the packages need i686-w64-mingw32-g++-posix: run scripts/setup.sh" >&2
  exit 1
else
  echo "== packages skipped: no mingw-w64 cross compiler (scripts/setup.sh installs it)"
fi

if [ -n "${CI:-}" ]; then
  echo "== fuzz"
  bash scripts/fuzz.sh "${TORVA_FUZZ_SECONDS:-60}"
fi
