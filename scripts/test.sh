#!/bin/bash
# Installs what is missing, builds, and runs the whole test suite under Wine with a
# virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build"
cd "$build"
"$root/scripts/with-display.sh" "$build" ctest --output-on-failure
