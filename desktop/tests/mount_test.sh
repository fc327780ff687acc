#!/usr/bin/env bash
# torva mount on the sample ALD and ALK: every member listed under the name
# extract writes, with its bytes and time; with --png each picture's PNG
# equal to what convert writes; unmounted by fusermount3 -u and by SIGINT.
# Without /dev/fuse the test is skipped (exit 77), except in CI.
#   mount_test.sh TORVA TORVA_SAMPLES
set -euo pipefail
torva=$1 samples_maker=$2

if [ ! -c /dev/fuse ] || ! command -v fusermount3 >/dev/null; then
  [ -z "${CI:-}" ] || { echo "FAIL: CI needs /dev/fuse and fusermount3 for the mount test" >&2; exit 1; }
  echo "SKIP: no /dev/fuse or fusermount3 on this machine"
  exit 77
fi

scratch=$(mktemp -d)
mounted=""
pid=""
cleanup() {
  # Also a mount whose torva died ("transport endpoint is not connected").
  if [ -n "$mounted" ]; then fusermount3 -u "$mounted" 2>/dev/null || true; fi
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$scratch/log" ] && cat "$scratch/log" >&2; exit 1; }

"$samples_maker" "$scratch/samples" >/dev/null

# Mounts in the background and waits until the folder is the mount (or torva
# has given up), for at most 20 seconds.
start_mount() {
  mounted=$1
  "$torva" mount --png "$2" "$mounted" 2>"$scratch/log" &
  pid=$!
  for _ in $(seq 400); do
    mountpoint -q "$mounted" && return 0
    kill -0 "$pid" 2>/dev/null || fail "torva mount $2 stopped before mounting"
    sleep 0.05
  done
  fail "$2 was not mounted within 20 seconds"
}

# Unmounts one way or the other; torva must then end with status 0 and the
# folder no longer be a mount.
stop_mount() {
  case $1 in
    fusermount) fusermount3 -u "$mounted" ;;
    interrupt) kill -INT "$pid" ;;
  esac
  status=0
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || fail "torva mount ended with status $status after $1"
  ! mountpoint -q "$mounted" || fail "still mounted after $1"
  mounted=""
}

check_archive() {
  local archive=$1 unmount=$2
  local name
  name=$(basename "$archive")
  local extracted=$scratch/extracted-$name converted=$scratch/converted-$name mnt=$scratch/mnt-$name
  mkdir "$mnt"
  "$torva" extract "$archive" -o "$extracted" >/dev/null
  # The manifest extract writes beside the members is none of them.
  rm "$extracted/$name.manifest.json"
  # The name has the archive's extension: the final '/' says it is a folder.
  "$torva" convert "$archive" -o "$converted/" --flat >/dev/null
  start_mount "$mnt" "$archive"

  # The members: the same names as extract wrote, the same bytes.
  diff <(cd "$extracted" && LC_ALL=C ls) <(cd "$mnt" && LC_ALL=C ls | grep -v '\.png$') >/dev/null ||
    fail "$name: the mount lists other members than extract writes"
  local members=0
  for file in "$extracted"/*; do
    local member
    member=$(basename "$file")
    cmp -s "$file" "$mnt/$member" || fail "$name: $member reads otherwise than extract wrote it"
    # ALD members carry their time, which extract gave the file; ALK members
    # show the archive's own.
    local want
    if [[ "$name" == *.ald ]]; then want=$(stat -c %Y "$file"); else want=$(stat -c %Y "$archive"); fi
    [ "$(stat -c %Y "$mnt/$member")" = "$want" ] || fail "$name: $member has another time"
    members=$((members + 1))
  done
  [ "$members" -eq "$(find "$extracted" -type f | wc -l)" ] && [ "$members" -gt 0 ] ||
    fail "$name: $members members compared"

  # One PNG for each picture convert turns out, each the same bytes.
  local pngs
  pngs=$(cd "$mnt" && ls | grep -c '\.png$' || true)
  [ "$pngs" -eq "$(find "$converted" -type f | wc -l)" ] || fail "$name: $pngs PNGs for $(ls "$converted" | wc -l) pictures"
  for png in "$mnt"/*.png; do
    local member
    member=$(basename "$png" .png)
    "$torva" convert "$archive" --member "$member" -o "$scratch/one.png" --overwrite >/dev/null
    cmp -s "$scratch/one.png" "$png" || fail "$name: $member.png differs from convert's PNG"
    [ "$(stat -c %s "$png")" = "$(stat -c %s "$scratch/one.png")" ] || fail "$name: $member.png has the wrong size once read"
  done
  # Read-only.
  ! (echo x >"$mnt/written") 2>/dev/null || fail "$name: a file could be written"
  stop_mount "$unmount"
}

check_archive "$scratch/samples/samples.ald" fusermount
check_archive "$scratch/samples/samples.alk" interrupt

# What cannot be mounted is refused before anything is mounted.
mkdir "$scratch/empty"
for case in "picture:$scratch/samples/pictures/sunset.qnt:$scratch/empty" \
            "missing archive:$scratch/none.ald:$scratch/empty" \
            "not a folder:$scratch/samples/samples.ald:$scratch/samples/samples.alk"; do
  IFS=: read -r what archive target <<<"$case"
  status=0
  "$torva" mount "$archive" "$target" 2>/dev/null || status=$?
  [ "$status" -eq 1 ] || fail "mount of a $what ended with status $status"
  ! mountpoint -q "$target" || fail "mount of a $what mounted"
done
# Standard input is no archive that can stay mounted: a usage error.
status=0
message=$("$torva" mount - "$scratch/empty" 2>&1 <"$scratch/samples/samples.alk") || status=$?
[ "$status" -eq 2 ] || fail "mount of standard input ended with status $status"
[[ "$message" == *"not standard input"* ]] || fail "mount of standard input said: $message"
echo "mount: all checked"
