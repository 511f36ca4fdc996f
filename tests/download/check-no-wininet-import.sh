#!/bin/sh
# WinInet is loaded at run time only: no binary that holds the worker may import it, or a
# browser without it could not load the plug-in at all.
#   check-no-wininet-import.sh OBJDUMP BINARY...
set -e
objdump=$1
shift
for binary in "$@"; do
    imports=$("$objdump" -p "$binary" | grep 'DLL Name:')
    echo "$binary:" $imports
    # The table was read: every binary here imports from KERNEL32.
    echo "$imports" | grep -qi 'kernel32.dll'
    if echo "$imports" | grep -qi 'wininet'; then
        echo "$binary imports WinInet" >&2
        exit 1
    fi
done
