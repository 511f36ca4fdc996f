#!/bin/bash
# Installs what is missing, builds, then opens samples/applets/demo.html in the player under a
# virtual display, takes a screenshot of the player's window once the scenes are drawn, and
# prints the screenshot's path as the last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

if [ "${1:-}" = "--capture" ]; then
    # Runs inside with-display.sh: DISPLAY is the virtual display.
    out=$2
    rm -f "$out/demo.png"
    cd "$build"
    # Install the renderer as a user's installation does: the plug-in starts the program named here.
    "$root/cmake/wine-run.sh" reg add 'HKLM\SOFTWARE\Orbolanth\ActiveXOrbolanth' /v RendererPath /t REG_SZ \
        /d "Z:${build//\//\\}\\renderer\\orbrenderer.exe" /f >/dev/null
    "$root/cmake/wine-run.sh" src/OrbolanthPlayer.exe "Z:$root/samples/applets/demo.html" --size 940x331 \
        >/dev/null 2>&1 &
    player=$!
    # Colours shown in a part of the player's window (WxH+X+Y inside it): a drawn scene
    # (gradients, lit faces) shows hundreds, the logo or an empty area a handful.
    colours() { convert "$out/demo.png" -crop "$1" +repage -format %k info: 2>/dev/null || echo 0; }
    drawn=
    for _ in $(seq 150); do
        # The player's window in the X tree: "... WxH+x+y  +absx+absy".
        geometry=$(xwininfo -root -tree |
            awk '/"demo.html - Orbolanth Player"/ { sub(/\+.*/, "", $(NF-1)); print $(NF-1) $NF; exit }')
        if [ -n "$geometry" ]; then
            import -window root -crop "$geometry" +repage "$out/demo.png"
            # The main view (top left) and the cubes (right) once both renderers draw.
            if [ "$(colours 300x200+60+60)" -gt 100 ] && [ "$(colours 180x120+714+60)" -gt 100 ]; then
                drawn=yes
                break
            fi
        fi
        kill -0 "$player" 2>/dev/null || break
        sleep 0.2
    done
    [ -n "$drawn" ] || echo "demo: the scenes were not drawn in time" >&2
    sleep 1  # a few more frames in every window
    if [ -n "$geometry" ]; then
        import -window root -crop "$geometry" +repage "$out/demo.png"
    else
        import -window root "$out/demo.png"
    fi
    # Closing the window ends the player as a user's click would.
    "$root/cmake/wine-run.sh" taskkill /im OrbolanthPlayer.exe >/dev/null 2>&1
    wait "$player" || { echo "demo: the player failed" >&2; exit 1; }
    exit 0
fi

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build"
out=$build/demo
mkdir -p "$out"
"$root/scripts/with-display.sh" "$build" bash "$root/scripts/demo.sh" --capture "$out"
echo "$out/demo.png"
