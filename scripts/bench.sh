#!/usr/bin/env bash
# Builds the benchmarks (preset "bench"), runs them with repetitions and
# prints the table of ns/pixel and ratios to the baselines.
#   scripts/bench.sh [extra benchmark arguments, e.g. --benchmark_filter=qnt]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build build/bench -j2 --target torvasoft_bench
out=build/bench/results.json
./build/bench/bin/torvasoft_bench --benchmark_repetitions="${BENCH_REPETITIONS:-5}" \
  --benchmark_report_aggregates_only=true --benchmark_min_time="${BENCH_MIN_TIME:-0.2}" \
  --benchmark_out="$out" --benchmark_out_format=json "$@" >/dev/null
python3 bench/report.py "$out"
