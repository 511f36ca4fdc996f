#!/bin/bash
# Runs one fuzz target over its seeds in tests/fuzz/corpus/<name>, then on for SECONDS in
# all. New inputs it finds go to WORK/<name>/found (never into the repository), inputs that
# fail to WORK/<name>/failed; a failing input belongs in the seeds once its fault is fixed.
#   tests/fuzz/run.sh FUZZER SECONDS WORK
set -euo pipefail
fuzzer=$1
seconds=$2
name=$(basename "$fuzzer")
name=${name#fuzz_}
here=$(cd "$(dirname "$0")" && pwd)
work=$3/$name
mkdir -p "$work/found" "$work/failed"
options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1
         -artifact_prefix="$work/failed/")
[ -f "$here/$name.dict" ] && options+=(-dict="$here/$name.dict")
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
exec "$fuzzer" "${options[@]}" "$work/found" "$here/corpus/$name"
