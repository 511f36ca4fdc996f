#!/bin/bash
# Installs what building and testing need on Debian 12 (as root), skipping what is there:
# the i686 and x86-64 mingw-w64 cross toolchains (posix threads), 32-bit and 64-bit Wine,
# Xvfb, CMake, GoogleTest's sources, Python, ImageMagick, NSIS (the Windows installer
# compiler), clang with its sanitizer and libFuzzer runtimes for the native tests and fuzz
# targets, the locale sources that the tests under a UTF-8 and a Japanese (Shift-JIS)
# ANSI code page build their locales from, and the browsers the extension's tests drive
# (Chromium, Firefox ESR) with xdotool for their input.
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
          wine wine32:i386 wine64 xvfb xauth x11-utils googletest python3 imagemagick curl nsis
          clang libclang-rt-14-dev locales chromium firefox-esr xdotool)

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
