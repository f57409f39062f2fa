#!/usr/bin/env bash
# dependencies.sh TRIPLET DIR: zlib, libpng, libjpeg-turbo and libtiff for
# MinGW-w64, static, built from Debian's source packages into DIR/install.
# The sources come through a private apt configuration in DIR/apt (the
# system's apt settings stay as they are); a finished build is kept, so a
# second run only checks its stamp.
set -euo pipefail
triplet=$1
dir=$(realpath -m "$2")
here=$(dirname "$(realpath "$0")")
prefix=$dir/install
stamp=$prefix/.complete
[ -f "$stamp" ] && exit 0

mkdir -p "$dir/apt/lists/partial" "$dir/apt/archives/partial" "$dir/apt/parts" "$dir/src" "$prefix"
cat > "$dir/apt/sources.list" <<SOURCES
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
SOURCES
cat > "$dir/apt/apt.conf" <<CONF
Dir::State "$dir/apt";
Dir::State::Lists "$dir/apt/lists";
Dir::State::status "/var/lib/dpkg/status";
Dir::Cache "$dir/apt";
Dir::Cache::Archives "$dir/apt/archives";
Dir::Etc::SourceList "$dir/apt/sources.list";
Dir::Etc::SourceParts "$dir/apt/parts";
APT::Sandbox::User "root";
CONF
export APT_CONFIG=$dir/apt/apt.conf
if [ ! -f "$dir/src/.fetched" ]; then
    apt-get update -qq
    (cd "$dir/src" && apt-get source -qq zlib/bookworm libpng1.6/bookworm libjpeg-turbo/bookworm tiff/bookworm >/dev/null)
    touch "$dir/src/.fetched"
fi
source_of() { find "$dir/src" -maxdepth 1 -mindepth 1 -type d -name "$1-*" | head -n 1; }

common=(-G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$here/../mingw-w64-${triplet%%-*}.cmake"
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -Wno-dev)
# build NAME SOURCE TARGET [CMAKE-OPTION...]: only the static library target,
# not the package's programs and tests; the caller copies what it needs.
build() {
    local name=$1 source=$2 target=$3
    shift 3
    cmake -S "$source" -B "$dir/build/$name" "${common[@]}" "$@" >/dev/null
    cmake --build "$dir/build/$name" --target "$target" -j2 >/dev/null
}
mkdir -p "$prefix/lib" "$prefix/include"

# zlib's static library alone (Debian's source lacks the DLL's resource file).
zlib=$(source_of zlib)
build zlib "$zlib" zlibstatic
cp "$dir/build/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
cp "$zlib/zlib.h" "$dir/build/zlib/zconf.h" "$prefix/include/"

png=$(source_of libpng1.6)
build libpng "$png" png_static -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
cp "$dir/build/libpng/libpng16.a" "$prefix/lib/libpng.a"
cp "$png/png.h" "$png/pngconf.h" "$dir/build/libpng/pnglibconf.h" "$prefix/include/"

jpeg=$(source_of libjpeg-turbo)
build libjpeg-turbo "$jpeg" jpeg-static -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DCMAKE_ASM_NASM_COMPILER=nasm
cp "$dir/build/libjpeg-turbo/libjpeg.a" "$prefix/lib/"
cp "$jpeg/jpeglib.h" "$jpeg/jerror.h" "$jpeg/jmorecfg.h" "$dir/build/libjpeg-turbo/jconfig.h" "$prefix/include/"

# The library writes uncompressed TIFF only: no codec libraries behind libtiff.
tiff=$(source_of tiff)
build tiff "$tiff" tiff -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dcxx=OFF \
    -Dzlib=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF \
    -Dzstd=OFF -Dwebp=OFF
cp "$dir/build/tiff/libtiff/libtiff.a" "$prefix/lib/"
cp "$tiff/libtiff/tiff.h" "$tiff/libtiff/tiffio.h" "$dir/build/tiff/libtiff/tiffconf.h" "$prefix/include/"
cp "$(find "$dir/build/tiff/libtiff" "$tiff/libtiff" -name tiffvers.h | head -n 1)" "$prefix/include/"

rm -rf "$dir/build"
touch "$stamp"
