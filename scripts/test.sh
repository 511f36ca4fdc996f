#!/bin/bash
# Installs what is missing, builds, and runs the whole test suite under Wine with a
# virtual display; beside it, the 64-bit plug-in's tree: its plug-in, settings, logo and
# activity tests, its block and channel tests, which meet the i686 tree's peer as a 64-bit
# plug-in meets the 32-bit renderer, and, with the i686 tree's renderers, the session, the
# download worker and Internet Explorer's page, and a part of the end-to-end tests through
# the 64-bit host. The 64-bit tree builds first: the i686 tree's installer carries its
# plug-in, and its tests only need the i686 programs when they run.
#
# The two suites run at the same time, each under a display and in Wine prefixes of its own
# (so neither's windows, foreground or Wine server meet the other's), each sequential inside.
# The shorter 64-bit one is followed by the i686 tree's native tests and fuzz targets, which
# need neither Wine nor a display. Its output goes to a file, shown once both have ended.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
build64=${BUILD64_DIR:-$root/build64}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build-trees.sh" "$build" "$build64"

log64="$build64/ctest.log"
(
    cd "$build64"
    status64=0
    "$root/scripts/with-display.sh" "$build64" ctest --output-on-failure || status64=$?
    echo "== native tests and fuzz targets ($build/native)"
    cd "$build/native" && ctest --output-on-failure && exit "$status64"
) >"$log64" 2>&1 &
tests64=$!
status=0
(cd "$build" && "$root/scripts/with-display.sh" "$build" ctest --output-on-failure -E '^(native|fuzz)_') || status=$?
status64=0
wait "$tests64" || status64=$?
echo "== x86-64 tree ($build64)"
cat "$log64"
[ "$status" -eq 0 ] && [ "$status64" -eq 0 ]
