#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time over a copy
# of its committed corpus. Any crash, leak, sanitizer report or timeout fails.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 60, every target)
# New inputs found go to build/fuzz/corpus/<target>; a crashing input is
# written to build/fuzz/findings/ and, once its cause is fixed, added to
# fuzz/corpus/<target>/ (archive, image) or as fuzz/regressions/<target>-<what
# it caught>.bin (the per-codec targets).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(archive image capi inflate encode qnt24 qnt32 pms8 pms16 vsp)
# A few hundred bytes may declare a picture up to the library's 256 MiB cap,
# which is legitimate but costs seconds under the sanitizers. Allocations
# above 32 MiB are refused (they come back null, as a host out of memory
# would answer), so the fuzzers spend their time on the decoders and still
# walk every out-of-memory path.
asan_options="detect_leaks=1:allocator_may_return_null=1:max_allocation_size_mb=32"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/findings
for target in "${targets[@]}"; do
  work="build/fuzz/corpus/$target"
  mkdir -p "$work"
  cp -n fuzz/corpus/"$target"/* "$work"/ 2>/dev/null || true
  cp -n fuzz/regressions/"$target"-* "$work"/ 2>/dev/null || true
  echo "== ${target}_fuzzer for ${seconds}s"
  ASAN_OPTIONS="$asan_options" UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "build/fuzz/bin/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 \
    -print_final_stats=1 -artifact_prefix=build/fuzz/findings/"$target"- "$work" 2>&1 |
    grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss|==[0-9]+==ERROR|SUMMARY|Done)|cov:|_fuzzer: ' | tail -4
  [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "${target}_fuzzer found a failure"; exit 1; }
done
