#!/bin/bash
# Installs what is missing, builds, and runs the whole test suite under Wine with a
# virtual display; then the 64-bit plug-in's tree: its plug-in and settings tests, its
# block and channel tests, which meet the i686 tree's peer as a 64-bit plug-in meets the
# 32-bit renderer, and a first part of the end-to-end tests, the 64-bit host and plug-in
# launching the i686 tree's renderers. The 64-bit tree builds first: the i686 tree's
# installer carries its plug-in, and its tests only need the i686 programs when they run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
build64=${BUILD64_DIR:-$root/build64}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build-trees.sh" "$build" "$build64"
cd "$build"
"$root/scripts/with-display.sh" "$build" ctest --output-on-failure
cd "$build64"
"$root/scripts/with-display.sh" "$build64" ctest --output-on-failure
