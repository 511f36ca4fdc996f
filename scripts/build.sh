#!/bin/bash
# Configures (once) and builds everything into BUILD_DIR (default: build) for ARCH, i686
# (default) or x86_64 (the 64-bit plug-in and the tests of its block code). Further
# arguments go to the first configure (-DNAME=VALUE).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
arch=${2:-i686}
shift $(($# < 2 ? $# : 2))
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" "$@" >/dev/null
fi
cmake --build "$build" -j"$(nproc)"
