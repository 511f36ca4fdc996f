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
    # Install the renderer as a user's installation does: the plug-in starts the program named here.
    "$root/cmake/wine-run.sh" reg add 'HKLM\SOFTWARE\Orbolanth\ActiveXOrbolanth' /v RendererPath /t REG_SZ \
        /d "Z:${build//\//\\}\\renderer\\orbrenderer.exe" /f >/dev/null
    "$root/cmake/wine-run.sh" host/orbhost.exe --page "Z:$root/samples/applets/demo.html" --window 945x380 \
        --seconds 15 --log "Z:$log" >/dev/null 2>&1 &
    host=$!
    # Both renderers report their scenes through the status line once everything has arrived.
    for _ in $(seq 300); do
        grep -q 'text="Orbolanth: orbit.obvm - [0-9]* objects"' "$log" 2>/dev/null &&
            grep -q 'text="Orbolanth: cubes.obvm - [0-9]* objects"' "$log" 2>/dev/null && break
        kill -0 "$host" 2>/dev/null || break
        sleep 0.1
    done
    grep -q 'text="Orbolanth: cubes.obvm - [0-9]* objects"' "$log" 2>/dev/null ||
        echo "demo: the scenes did not finish loading; see $log" >&2
    sleep 1  # a few more frames in every window
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
