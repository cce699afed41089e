#!/usr/bin/env bash
# Runs every Google Benchmark program of the build (the list CMake writes to
# BUILD_DIR/bench/benchmarks.txt) and prints one table of them:
#   tools/run-benchmarks.sh [BUILD_DIR]
# BENCH_FILTER (a regular expression over benchmark names) picks some;
# BENCH_REPETITIONS (default 3) sets how often each runs, the table taking
# the fastest run (the machine is shared: the others carry its noise).
set -euo pipefail

build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
results=$build/bench/results
rm -rf "$results"
mkdir -p "$results"
export QT_QPA_PLATFORM=offscreen

status=0
while read -r name; do
  [ -n "$name" ] || continue
  program=$build/bench/$name
  [ -x "$program" ] || { echo "$program is missing; build it first" >&2; status=1; continue; }
  echo "== $name" >&2
  "$program" --benchmark_out="$results/$name.json" --benchmark_out_format=json \
    --benchmark_repetitions="${BENCH_REPETITIONS:-3}" --benchmark_filter="${BENCH_FILTER:-.}" \
    >"$results/$name.txt" || { echo "$name failed; see $results/$name.txt" >&2; status=1; }
done <"$build/bench/benchmarks.txt"
shopt -s nullglob
python3 "$root/bench/bench_table.py" "$results"/*.json || status=1
exit $status
