#!/bin/sh
# The library holds the download worker (so the import check above means something): its
# user agent, the library it loads at run time and an entry point it looks up there.
#   check-worker-in-plugin.sh LIBRARY VERSION   (VERSION as the texts write it, "1.3.2")
set -e
grep -qaF "Orbolanth Player Resource Downloader (Version $2 - Win32)" "$1"
grep -qai 'wininet\.dll' "$1"
grep -qa 'InternetReadFile' "$1"
echo "$1 holds the download worker"
