#!/bin/bash
# Builds both trees, then runs every benchmark and prints its figures: parameter parsing, the
# channel's service tick and heap, request-to-delivery latency beside the cost of keeping a
# stream's file (hard link, copy), renderer start/idle/close, the renderer's frame times, the
# player's start to its first frame beside orbhost's, and the download worker against curl.
# The renderer's frames: each phase per sample and size up to 1920x1080, shown in a window,
# and the renderer program's frame rate and processor use full screen.
# The channel, delivery and renderer-session benchmarks run once more from the x86-64 tree,
# the 64-bit plug-in in a 64-bit Wine prefix driving the i686 tree's renderers. Last, the
# figures to compare side by side with their ratio (no pass or fail).
#   scripts/bench.sh [BUILD_DIR [BUILD64_DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
build64=$(realpath -m "${2:-$root/build64}")
bash "$root/scripts/setup.sh"
bash "$root/scripts/build-trees.sh" "$build" "$build64"

# Each benchmark's output is kept in its tree's bench/ for the comparison at the end. A file,
# not a pipe: the explorer.exe that Wine starts with a session's first window would inherit
# a pipe and hold it open until the display goes.
run() {
    echo "== $1"
    local out
    out="$2/bench/$(basename "$3" .exe).txt"
    (cd "$2" && "$root/cmake/wine-run.sh" $4 "$3") >"$out"
    cat "$out"
}
rm -rf "$build/bench" "$build64/bench"
mkdir -p "$build/bench" "$build64/bench"
# Each x86-64 benchmark runs right after its i686 one, so that both meet much the same load
# on the machine; the x86-64 tree's Wine server too must end before the display goes. The
# display is larger than the tests': the renderer's frames are shown in windows of 1920x1080
# inside, frame and caption around them.
ORB_SCREEN=2048x1280x24 "$root/scripts/with-display.sh" "$build" bash -c "
    $(declare -f run)
    root='$root'; build='$build'; build64='$build64'
    run 'parameter file' \$build tests/settings/settings_benchmark.exe
    run 'channel' \$build tests/channel/channel_benchmark.exe
    run 'channel, x86-64' \$build64 tests/channel/channel_benchmark.exe --win64
    run 'requests through the browser, keeping stream files' \$build tests/streams/streams_benchmark.exe
    run 'requests through the browser, x86-64' \$build64 tests/streams/streams_benchmark.exe --win64
    run 'renderer session' \$build tests/session/session_benchmark.exe
    run 'renderer session, x86-64' \$build64 tests/session/session_benchmark.exe --win64
    run 'renderer frames' \$build tests/renderer/renderer_bench.exe
    run 'player start-up beside orbhost' \$build tests/player/player_benchmark.exe
    WINEPREFIX=\$build64/wineprefix wineserver -k
    WINEPREFIX=\$build64/wineprefix wineserver -w
"

# The first median printed on the first line holding TEXT (the busy/idle service pace comes
# first) in a benchmark's kept output.
median() {
    grep -m1 -F -- "$2" "$1" 2>/dev/null | sed -n 's/.*median *\([0-9.]*\).*/\1/p' || true
}
# WHAT, two figures, and the ratio of the second to the first, marked when above LIMIT times
# or below 1/LIMIT.
side_by_side() {
    awk -v what="$1" -v a="$2" -v b="$3" -v limit="$4" 'BEGIN {
        ratio = "-"; note = ""
        if (a > 0 && b != "") {
            ratio = sprintf("%.2f", b / a)
            if (b / a > limit || b / a < 1 / limit) note = sprintf("  (outside %.1fx)", limit)
        }
        printf "%-40s %10s %10s %8s%s\n", what, a == "" ? "-" : a, b == "" ? "-" : b, ratio, note
    }'
}
# WHAT, the benchmark's output file and the TEXT of its line, the i686 figure beside the x86-64 one.
widths() {
    side_by_side "$1" "$(median "$build/bench/$2" "$3")" "$(median "$build64/bench/$2" "$3")" 1.1
}
echo "== x86-64 beside i686, medians (target: x64/x86 within 10%)"
printf "%-40s %10s %10s %8s\n" "" i686 x86-64 x64/x86
widths "chained request to delivery (ms)" streams_benchmark.txt "chained, right after a delivery:"
widths "SetWindow to first frame (ms)" session_benchmark.txt "SetWindow to first frame shown:"
widths "ServiceTick, 256 full request slots (ms)" channel_benchmark.txt "ServiceTick, 256 full request slots:"
widths "page close to renderer exit (ms)" session_benchmark.txt "page close to renderer exit:"
echo "== the plug-in's trace on beside off, medians (target: on/off within 10%)"
printf "%-40s %10s %10s %8s\n" "" off on on/off
for tree in "$build" "$build64"; do
    side_by_side "chained request to delivery, $(basename "$tree") (ms)" \
        "$(median "$tree/bench/streams_benchmark.txt" "chained, right after a delivery:")" \
        "$(median "$tree/bench/streams_benchmark.txt" "chained, trace on:")" 1.1
done
echo "== the player beside orbhost, medians (target: player/orbhost within 1.5 times)"
printf "%-40s %10s %10s %8s\n" "" orbhost player player/orbhost
side_by_side "program start to first frame (ms)" "$(median "$build/bench/player_benchmark.txt" "orbhost.exe")" \
    "$(median "$build/bench/player_benchmark.txt" "OrbolanthPlayer.exe")" 1.5

echo "== download worker against curl"
bash "$root/scripts/bench-download.sh" "$build"
