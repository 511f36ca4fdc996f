#!/bin/bash
# Configures (once) and builds the two trees: the x86-64 one first, whose plug-in the i686
# tree's installer carries; the x86-64 tree's end-to-end tests and benchmarks launch the i686
# tree's renderers, and its channel tests meet the i686 tree's peer, when they run.
#   scripts/build-trees.sh BUILD_DIR BUILD64_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
build64=$2
bash "$root/scripts/build.sh" "$build64" x86_64 -DORB_CHANNEL_PEER="$build/tests/channel/channel_peer.exe" \
    -DORB_I686_TREE="$build"
bash "$root/scripts/build.sh" "$build" i686 -DORB_PLUGIN64="$build64/src/npOrbolanth.dll"
