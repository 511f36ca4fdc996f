#!/bin/sh
# Runs a Windows program under Wine in the private prefix of the build tree that contains
# the current directory (or WINEPREFIX when it is set): a 32-bit prefix, or with --win64
# first a 64-bit one run by wine64 (the x86-64 tree's programs). The prefix is created on
# first use; concurrent first uses wait for each other. A program that crashes in it gets
# its backtrace printed on stderr and ends, rather than waiting in Wine's crash dialog for a
# click that never comes.
set -e
arch=win32
loader=wine
if [ "$1" = "--win64" ]; then
    shift
    arch=win64
    loader=/usr/lib/wine/wine64
fi
if [ -z "$WINEPREFIX" ]; then
    dir=$(pwd)
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        echo "wine-run.sh: not inside a build tree and WINEPREFIX is unset" >&2
        exit 2
    fi
    WINEPREFIX="$dir/wineprefix"
fi
export WINEPREFIX WINEARCH=$arch
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko prompts: nothing here needs them.
export WINEDLLOVERRIDES="mscoree=;mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
if [ ! -f "$WINEPREFIX/.orb-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.orb-ready" ]; then
            "$loader" wineboot --init >/dev/null 2>&1 || true
            "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
                >/dev/null 2>&1 || true
            wineserver -w
            touch "$WINEPREFIX/.orb-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec "$loader" "$@"
