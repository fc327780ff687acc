#!/usr/bin/env bash
# From a fresh machine to pictures: installs what is missing, builds the
# native and the Windows trees, makes the sample archive with the project's
# writers, and then, through torvasoft.dll under Wine and natively, lists
# the archive and converts every picture in it to PNG. The two sets of PNGs
# must be the same bytes; the end-to-end tests then run on both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native -j2
windows=no
if [ -f cmake/mingw-i686.cmake ]; then
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j2
  . scripts/wine-runs.sh
  if wine_runs; then
    windows=yes
  else
    wine_cannot_run_notice "torva.exe under Wine"
  fi
else
  echo "main-job: no Windows toolchain file yet; natively only" >&2
fi

# Both builds show the archive's times in the same zone.
export WINEDEBUG=-all TZ=Asia/Tokyo
# Wine takes its code page from the locale: 932 for the double-byte names.
# The locale is given to each Wine command rather than to this shell: on a
# fresh machine the shell started before setup.sh generated the locale, and a
# process that found no locale archive does not look again, so bash would
# fail to switch to it and warn.
run_wine() { LC_ALL=ja_JP.UTF-8 wine "$@"; }
job=$root/out/main-job
rm -rf "$job"
mkdir -p "$job"
"$root/build/native/bin/torva_samples" "$job/samples" >/dev/null

cd "$job/samples"
echo "== native: torva list samples.ald"
"$root/build/native/bin/torva" list samples.ald
"$root/build/native/bin/torva" convert samples.ald -o "$job/native"
if [ "$windows" = yes ]; then
  echo "== Windows (torva.exe under Wine): torva list samples.ald"
  run_wine "$root/build/win32/bin/torva.exe" list samples.ald | tee "$job/list-windows.txt"
  "$root/build/native/bin/torva" list samples.ald > "$job/list-native.txt"
  cmp "$job/list-native.txt" "$job/list-windows.txt"
  # Run from the output's parent so that a relative -o serves both builds.
  run_wine "$root/build/win32/bin/torva.exe" convert samples.ald -o ../windows
  # Both builds name the files in UTF-8 (torva.exe through the wide file API,
  # which Wine stores as UTF-8), in a folder named after the archive: the two
  # trees must be the same, name for name and byte for byte.
  diff -r "$job/native" "$job/windows"
  echo "== the PNGs of both builds are the same bytes"
  TORVA_WINDOWS_TOOL="$root/build/win32/bin/torva.exe" "$root/build/native/bin/torva_e2e_tests" --gtest_brief=1
fi

echo
echo "The sample archive: $job/samples/samples.ald (and samples.alk, pictures/)"
echo "Its pictures as PNG, native build:  $job/native/samples/"
[ "$windows" = yes ] && echo "Its pictures as PNG, Windows build: $job/windows/samples/"
exit 0
