#!/usr/bin/env bash
# Runs one fuzz target of build-fuzz/ (see `make fuzz`) for a while, gently:
#   tools/run-fuzzer.sh NAME [SECONDS [LIBFUZZER-OPTIONS...]]
# New inputs go to build-fuzz/corpus/NAME (the seeds in fuzz/corpus/NAME are
# read, never changed); anything that breaks the target lands in
# build-fuzz/artifacts/NAME/. Keep each such input under
# tests/data/crashers/NAME/ once it is fixed.
set -euo pipefail

name=${1:?usage: tools/run-fuzzer.sh NAME [SECONDS]}
seconds=${2:-600}
shift $(( $# < 2 ? $# : 2 ))
root=$(cd "$(dirname "$0")/.." && pwd)
fuzzer=$root/build-fuzz/fuzz_$name
[ -x "$fuzzer" ] || { echo "no $fuzzer: run make fuzz first" >&2; exit 2; }

work=$root/build-fuzz/corpus/$name
artifacts=$root/build-fuzz/artifacts/$name
mkdir -p "$work" "$artifacts"
dictionary=()
[ -f "$root/fuzz/dictionaries/$name.dict" ] && dictionary=(-dict="$root/fuzz/dictionaries/$name.dict")

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec nice -n 10 "$fuzzer" "$work" "$root/fuzz/corpus/$name" "${dictionary[@]}" \
  -max_total_time="$seconds" -malloc_limit_mb=256 -rss_limit_mb=512 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$@"
