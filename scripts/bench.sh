#!/bin/bash
# Builds, then runs every benchmark and prints its figures: parameter parsing, the channel's
# service tick and heap, request-to-delivery latency beside the cost of keeping a stream's
# file (hard link, copy), renderer start/idle/close, the renderer's
# frame times, and the download worker against curl.
#   scripts/bench.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$build"
build=$(cd "$build" && pwd)
run() {
    echo "== $1"
    (cd "$build" && "$root/cmake/wine-run.sh" "$2")
}
"$root/scripts/with-display.sh" "$build" bash -c "
    $(declare -f run)
    root='$root'; build='$build'
    run 'parameter file' tests/settings/settings_benchmark.exe
    run 'channel' tests/channel/channel_benchmark.exe
    run 'requests through the browser, keeping stream files' tests/streams/streams_benchmark.exe
    run 'renderer session' tests/session/session_benchmark.exe
    run 'renderer frames' tests/renderer/renderer_bench.exe
"
echo "== download worker against curl"
bash "$root/scripts/bench-download.sh" "$build"
