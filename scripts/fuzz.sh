#!/bin/bash
# Builds, then runs every fuzz target for SECONDS (default 60) beyond its seeds and prints,
# per target, the inputs it ran and whether it failed. Inputs that fail are kept under
# BUILD_DIR/fuzz-work/<target>/failed; add them to tests/fuzz/corpus/<target> with the fix.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
seconds=${1:-60}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build"
build=$(cd "$build" && pwd)
work=$build/fuzz-work
mkdir -p "$work"
failed=0
for fuzzer in "$build"/native/fuzz_*; do
    name=$(basename "$fuzzer")
    log=$work/$name.log
    if bash "$root/tests/fuzz/run.sh" "$fuzzer" "$seconds" "$work" >"$log" 2>&1; then
        result=clean
    else
        result="FAILED, see $log"
        failed=1
    fi
    execs=$(awk '/^stat::number_of_executed_units/ { print $2 }' "$log")
    printf '%-20s %12s inputs  %s\n' "$name" "${execs:-?}" "$result"
done
exit $failed
