#!/usr/bin/env bash
# Installs the SDK into a temporary prefix and builds a client against it, once
# through pkg-config and once through find_package(Calidra).
set -euo pipefail
build_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
# The SDK alone: the GStreamer plugin goes to GStreamer's own folder, checked below.
cmake --install "$build_dir" --prefix "$prefix" --component Unspecified >/dev/null
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

# The plugin lands in GStreamer's plugin folder and finds the library by its
# RUNPATH, the library folder of the configured prefix.
if [ -f "$build_dir/gst/libgstcalidra.so" ]; then
    DESTDIR=$work/root cmake --install "$build_dir" --component gstreamer >/dev/null
    plugin=$work/root$(pkg-config --variable=pluginsdir gstreamer-1.0)/libgstcalidra.so
    configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build_dir/CMakeCache.txt")
    readelf -d "$plugin" | grep -q "RUNPATH.*\[$configured/lib[^]:]*\]" || { echo "$plugin: wrong RUNPATH"; exit 1; }
    echo "the GStreamer plugin installs into GStreamer's plugin folder with the library's RUNPATH"
fi
