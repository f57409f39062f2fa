#!/usr/bin/env bash
# What `./run windows` does: calidra.dll for x86-64 and x86, cross-built with
# MinGW-w64 into build-win64/ and build-win32/, their tests run under Wine,
# then dist/calidra-windows-<version>.zip, and a client built from the zip
# alone run against it.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
here=$root/cmake/windows

# The last line of packages.sh says whether 32-bit Wine is there.
wine32=$("$here/packages.sh" | tail -n 1)
version=$(sed -n 's/^project(Calidra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

export WINEDEBUG=-all
server_prefix=""
stop_wineserver() {
    if [ -n "$server_prefix" ]; then
        WINEPREFIX=$server_prefix wineserver -k 2>/dev/null || true
        server_prefix=""
    fi
}
trap stop_wineserver EXIT

# start_wine DIR WINEARCH: the build folder's own prefix (made once), and one
# wineserver for everything that runs until stop_wineserver.
start_wine() {
    local prefix=$root/$1/wine
    if [ ! -f "$prefix/system.reg" ]; then
        echo "== making the Wine prefix $1/wine"
        # Wine makes the prefix but not the folders above it.
        mkdir -p "$root/$1"
        WINEPREFIX=$prefix WINEARCH=$2 wine wineboot -i >/dev/null 2>&1
        WINEPREFIX=$prefix wineserver -w
    fi
    # A server left by an interrupted run would refuse a new one.
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -p
    server_prefix=$prefix
    # Wine closes the desktop a moment after the last program on it ends, and a
    # test program starting just then can fail to make its message window. A
    # file browser window, open until the server stops, holds the desktop.
    (WINEPREFIX=$prefix setsid wine explorer.exe </dev/null >/dev/null 2>&1 &)
}

# dependencies TRIPLET: sets deps to the folder holding the static libraries.
# They are built once per machine and kept outside the clone (a clean clone
# would otherwise rebuild them every time), under a key of the script, the
# toolchain files and the compiler; built aside and moved into place whole,
# so an interrupted or concurrent run never leaves a half-built one in use.
dependencies() {
    local triplet=$1 key cache
    key=$(cat "$here/dependencies.sh" "$root/cmake/mingw-w64.cmake" "$root/cmake/mingw-w64-${triplet%%-*}.cmake" \
        <("$triplet-g++-posix" --version) | sha256sum | cut -c1-16)
    cache=${CALIDRA_DEPS_CACHE:-${XDG_CACHE_HOME:-${HOME:-$root}/.cache}/calidra/windows-deps}
    deps=$cache/$triplet-$key
    [ -f "$deps/install/.complete" ] && return 0
    local work=$cache/.building-$triplet-$key-$$
    "$here/dependencies.sh" "$triplet" "$work"
    mv -T "$work" "$deps" 2>/dev/null || rm -rf "$work"
}

# build ARCH DIR WINEARCH RUN-TESTS
build() {
    local arch=$1 dir=$2 winearch=$3 run_tests=$4
    local triplet=$arch-w64-mingw32
    echo "== $dir: dependencies"
    dependencies "$triplet"
    local options=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$arch.cmake" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_PREFIX_PATH="$deps/install" -DCALIDRA_BUILD_BENCH=OFF)
    if [ "$run_tests" = yes ]; then
        # The tests are listed by running them under Wine while they are built.
        start_wine "$dir" "$winearch"
        cmake -S . -B "$dir" "${options[@]}" -DCALIDRA_BUILD_TESTS=ON >/dev/null
        echo "== $dir: build"
        cmake --build "$dir" -j2
        echo "== $dir: tests under Wine"
        ctest --test-dir "$dir" --output-on-failure -j2 --timeout 600
        stop_wineserver
    else
        cmake -S . -B "$dir" "${options[@]}" -DCALIDRA_BUILD_TESTS=OFF >/dev/null
        echo "== $dir: build (no 32-bit Wine here: its tests do not run)"
        cmake --build "$dir" -j2
        "$root/tests/surface/check_exports.sh" "$dir/calidra.dll" src/api/exports.txt "$triplet-objdump"
    fi
}

build x86_64 build-win64 win64 yes
build i686 build-win32 win32 "${wine32#wine32=}"

echo "== dist/calidra-windows-$version.zip"
stage=$root/build-win64/dist/calidra-windows-$version
rm -rf "$stage"
mkdir -p "$stage/include" "$stage/examples/windows" "$root/dist"
cp include/calidra.h include/calidra_window.h include/calidra_sim.h "$stage/include/"
cp examples/record_avi.cpp examples/correction_data.c "$stage/examples/"
cp examples/windows/live_window.c "$stage/examples/windows/"
cp README.md "$stage/"
cp build-win64/src/api/calidra.def "$stage/"
for pair in x64:build-win64 x86:build-win32; do
    mkdir -p "$stage/${pair%%:*}"
    for file in calidra.dll libcalidra.dll.a calidra.lib calidra.exe; do cp "${pair#*:}/$file" "$stage/${pair%%:*}/"; done
done
rm -f "dist/calidra-windows-$version.zip"
(cd "$stage/.." && cmake -E tar cf "$root/dist/calidra-windows-$version.zip" --format=zip "calidra-windows-$version")

# A client outside the project: only the zip's header and import library, the
# virtual camera, a message-only window receiving the frames, a PNG saved.
# client ARCH FOLDER IMPORT-LIBRARY DIR
client() {
    local check=$root/$4/client-check
    rm -rf "$check"
    mkdir -p "$check"
    (cd "$check" && cmake -E tar xf "$root/dist/calidra-windows-$version.zip")
    local sdk=$check/calidra-windows-$version
    echo "== a MinGW client of the zip, $2"
    "$1-w64-mingw32-gcc" -std=c99 -O2 -Wall -Wextra -Werror -I"$sdk/include" "$sdk/examples/windows/live_window.c" \
        "$sdk/$2/$3" -lgdi32 -o "$check/live_window.exe"
    cp "$sdk/$2/calidra.dll" "$check/"
    start_wine "$4" unused
    (cd "$check" && CALIDRA_VIRTUAL_CAMERA=1 "$here/wine-run.sh" "$root/$4/wine" ./live_window.exe --message-only 10 live.png)
    stop_wineserver
    pngcheck "$check/live.png"
}
client x86_64 x64 libcalidra.dll.a build-win64
if [ "$wine32" = wine32=yes ]; then
    client i686 x86 calidra.lib build-win32
fi
echo "dist/calidra-windows-$version.zip: calidra.dll for x64 and x86 (32-bit tests run: ${wine32#wine32=})"
