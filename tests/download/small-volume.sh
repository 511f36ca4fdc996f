#!/bin/sh
# Mounts or unmounts a 256 KB tmpfs: a real volume small enough for one download to fill,
# so that writes into a temporary file there fail as they do on a full disk.
#   small-volume.sh mount|unmount DIR
set -e
dir=$2
case $1 in
mount)
    mkdir -p "$dir"
    if mountpoint -q "$dir"; then umount "$dir"; fi
    mount -t tmpfs -o size=256k,mode=0777 orb-small-volume "$dir"
    ;;
unmount)
    if mountpoint -q "$dir"; then umount "$dir"; fi
    rmdir "$dir" 2>/dev/null || true
    ;;
*)
    echo "usage: $0 mount|unmount DIR" >&2
    exit 2
    ;;
esac
