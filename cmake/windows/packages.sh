#!/usr/bin/env bash
# Installs what the Windows build needs and nothing else: the MinGW-w64
# compilers (posix thread model), nasm for libjpeg-turbo's SIMD, dpkg-dev for
# `apt-get source`, Wine, and, when the system can have it, 32-bit Wine.
# Prints "wine32=yes" or "wine32=no" as its last line.
set -euo pipefail

PACKAGES=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix nasm dpkg-dev cmake make ccache wine
    pngcheck libtiff-tools libjpeg-turbo-progs ffmpeg)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

missing() {
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || echo "$package"
    done
}

install() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}

mapfile -t needed < <(missing "${PACKAGES[@]}")
if [ ${#needed[@]} -gt 0 ]; then
    echo "installing: ${needed[*]}" >&2
    $sudo apt-get update -qq
    install "${needed[@]}"
fi

# 32-bit Wine needs the i386 architecture; where it cannot be installed the
# i686 DLL is still built and its exports checked, but its tests do not run.
if [ -n "$(missing wine32:i386)" ]; then
    echo "installing: wine32:i386" >&2
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    if ! { $sudo apt-get update -qq && install wine32:i386; }; then
        echo "32-bit Wine could not be installed: the i686 tests will not run" >&2
    fi
fi
if [ -z "$(missing wine32:i386)" ]; then echo "wine32=yes"; else echo "wine32=no"; fi
