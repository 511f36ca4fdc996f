#!/bin/bash
# Runs a command with its own virtual X display and, afterwards, lets the build tree's
# Wine servers finish before the display goes away: a Wine server that outlives its
# display breaks window creation in that prefix for later runs.
#   scripts/with-display.sh BUILD_DIR COMMAND...
# ORB_SCREEN sets the display's size and depth (default 1280x1024x24).
set -u
build=$(cd "$1" && pwd)
shift
displayfile=$(mktemp)
Xvfb -displayfd 4 -screen 0 "${ORB_SCREEN:-1280x1024x24}" -nolisten tcp 4>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$displayfile" ] && break
    sleep 0.1
done
if [ ! -s "$displayfile" ]; then
    echo "with-display.sh: Xvfb did not start" >&2
    kill "$xvfb" 2>/dev/null
    exit 1
fi
export DISPLAY=":$(head -n1 "$displayfile")"
rm -f "$displayfile"

"$@"
status=$?

# The build tree's prefixes: the main one and those under a UTF-8 and a Japanese ANSI code page.
for prefix in "$build/wineprefix" "$build/wineprefix-utf8" "$build/wineprefix-cp932"; do
    [ -d "$prefix" ] || continue
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
    WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1
done
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $status
