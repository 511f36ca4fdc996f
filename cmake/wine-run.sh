#!/bin/sh
# Runs a Windows program under 32-bit Wine in the private prefix of the build tree
# that contains the current directory (or WINEPREFIX when it is set). The prefix is
# created on first use; concurrent first uses wait for each other.
set -e
if [ -z "$WINEPREFIX" ]; then
    dir=$(pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        echo "wine-run.sh: not inside a build tree and WINEPREFIX is unset" >&2
        exit 2
    fi
    WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree=;mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
if [ ! -f "$WINEPREFIX/.orb-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.orb-ready" ]; then
            wine wineboot --init >/dev/null 2>&1 || true
            wineserver -w
            touch "$WINEPREFIX/.orb-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
