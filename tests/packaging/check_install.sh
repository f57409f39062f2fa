#!/usr/bin/env bash
# Installs the SDK into a temporary prefix and builds a client against it, once
# through pkg-config and once through find_package(Calidra).
set -euo pipefail
build_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libcalidra.so' | head -n 1)")
test -f "$prefix/include/calidra.h" -a -f "$prefix/include/calidra_window.h" -a -f "$prefix/include/calidra_sim.h"
soname=$(objdump -p "$libdir/libcalidra.so" | awk '/SONAME/ {print $2}')
[ "$soname" = "libcalidra.so.20" ] || { echo "unexpected SONAME '$soname'"; exit 1; }

export PKG_CONFIG_PATH=$libdir/pkgconfig
cc -o "$work/by-pkgconfig" "$here/consumer/consumer.c" $(pkg-config --cflags --libs calidra)
LD_LIBRARY_PATH=$libdir "$work/by-pkgconfig"

cmake -S "$here/consumer" -B "$work/consumer-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer-build" >/dev/null
LD_LIBRARY_PATH=$libdir "$work/consumer-build/consumer"
echo "installed SDK builds clients through pkg-config and find_package"
