#!/bin/bash
# Installs what is missing, builds, then opens samples/applets/demo.html in the browser host under a
# virtual display, takes a screenshot of the host's window while the page runs, and prints
# the screenshot's path as the last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if [ "${1:-}" = "--capture" ]; then
    # Runs inside with-display.sh: DISPLAY is the virtual display.
    out=$2
    log=$out/demo.log
    rm -f "$log" "$out/demo.png"
    cd "$build"
    "$root/cmake/wine-run.sh" host/orbhost.exe --page "Z:$root/samples/applets/demo.html" --window 780x460 \
        --seconds 8 --log "Z:$log" >/dev/null 2>&1 &
    host=$!
    for _ in $(seq 300); do
        grep -q '^> NPP_StreamAsFile' "$log" 2>/dev/null && break
        kill -0 "$host" 2>/dev/null || break
        sleep 0.1
    done
    sleep 1  # the stream ends and the windows repaint
    # The host's window in the X tree: "... WxH+x+y  +absx+absy".
    geometry=$(xwininfo -root -tree | awk '/"orbhost - / { sub(/\+.*/, "", $(NF-1)); print $(NF-1) $NF; exit }')
    if [ -n "$geometry" ]; then
        import -window root -crop "$geometry" +repage "$out/demo.png"
    else
        import -window root "$out/demo.png"
    fi
    wait "$host" || { echo "demo: orbhost failed; see $log" >&2; exit 1; }
    exit 0
fi

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build"
out=$build/demo
mkdir -p "$out"
"$root/scripts/with-display.sh" "$build" bash "$root/scripts/demo.sh" --capture "$out"
echo "call log: $out/demo.log"
echo "$out/demo.png"
