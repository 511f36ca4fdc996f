#!/bin/bash
# Throughput of the download worker against curl, both fetching from the same loopback
# server (it runs inside the benchmark under Wine): one 64 MB file (best of three runs
# each), and sixteen 1 MB files (the worker takes them all at once on its four threads,
# curl fetches them one after another), each as a ratio of speeds worker/curl; then how long
# the worker's Stop takes while a body trickles in.
#   scripts/bench-download.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
bench=$build/tests/download/download_benchmark.exe
[ -f "$bench" ] || { echo "build $bench first (scripts/build.sh)" >&2; exit 1; }

control=$build/bench-download
rm -rf "$control"
mkdir -p "$control/curl"
(cd "$build" && exec "$root/cmake/wine-run.sh" "$bench" "Z:$control") >"$control/worker.txt" 2>"$control/worker.err" &
benchPid=$!
trap 'kill $benchPid 2>/dev/null || true' EXIT

for _ in $(seq 600); do
    [ -s "$control/port" ] && break
    kill -0 $benchPid 2>/dev/null || { cat "$control/worker.err" >&2; exit 1; }
    sleep 0.1
done
port=$(tr -d '\r\n' <"$control/port")
base=http://127.0.0.1:$port

best=
for _ in 1 2 3; do
    seconds=$(curl -sf -o "$control/curl/big.bin" -w '%{time_total}' "$base/big.bin")
    best=$(awk -v a="$seconds" -v b="${best:-$seconds}" 'BEGIN { print (a < b ? a : b) }')
done
[ "$(stat -c %s "$control/curl/big.bin")" -eq $((64 * 1024 * 1024)) ]

args=()
for i in $(seq 0 15); do args+=(-o "$control/curl/small$i.bin" "$base/small$i.bin"); done
start=$(date +%s.%N)
curl -sf "${args[@]}"
end=$(date +%s.%N)
curlSmall=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }')

touch "$control/curl-done"
wait $benchPid
trap - EXIT
# WinInet keeps a copy of every download in the prefix's cache: drop the benchmark's copies.
WINEPREFIX=$build/wineprefix wineserver -w
rm -rf "$build"/wineprefix/drive_c/users/*/AppData/Local/Microsoft/Windows/INetCache

awk -v curlBig="$best" -v curlSmall="$curlSmall" '
    { value[$1] = $2 }
    END {
        curlRate = 64 / curlBig
        printf "64 MB file:    worker %.3f s = %.1f MB/s, curl %.3f s = %.1f MB/s, worker/curl %.2f\n",
            value["worker_big_seconds"], value["worker_big_mb_per_s"], curlBig, curlRate,
            value["worker_big_mb_per_s"] / curlRate
        printf "16 x 1 MB:     worker (4 threads) %.3f s, curl one after another %.3f s, worker/curl %.2f\n",
            value["worker_16x1mb_seconds"], curlSmall, curlSmall / value["worker_16x1mb_seconds"]
        printf "Stop during a slow body: median %.1f ms, slowest %.1f ms\n",
            value["worker_stop_slow_body_ms_median"], value["worker_stop_slow_body_ms_max"]
    }' "$control/worker.txt"
rm -rf "$control"
