#include "output/PngFile.h"

#include <cstdio>
#include <new>
#include <vector>

#include <png.h>

#include "output/StdioStream.h"
#include "pipeline/DibImage.h"

namespace calidra {

namespace {

constexpr char kNoRowMemory[] = "SavePngFile : メモリ確保に失敗";

[[noreturn]] void ReportAndJumpBack(png_structp png, png_const_charp message) {
    if (png != nullptr) std::fprintf(stderr, "libpng error: %s\n", message);
    png_longjmp(png, 1);
}

// The library keeps no log: libpng's warnings are dropped.
void IgnoreWarning(png_structp, png_const_charp) {}

void WriteRows(png_structp png, png_infop info, std::FILE* stream, const DibImage* image,
               std::vector<png_bytep>& rows) {
    png_init_io(png, stream);
    const bool grey = image->BitCount() == 16;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->Width()), static_cast<png_uint_32>(image->Height()),
                 grey ? 16 : 8, grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    // The image's 16-bit samples are little-endian; PNG stores them big-endian.
    if (grey) png_set_swap(png);
    // Row k of the file is the picture's k-th row from the top.
    const std::int32_t height = image->Height();
    for (std::int32_t k = 0; k < height; ++k) {
        rows[static_cast<std::size_t>(k)] = const_cast<png_bytep>(image->Row(height - 1 - k));
    }
    png_write_image(png, rows.data());
    png_write_end(png, info);
}

// The recovery point sits in a frame of its own with no local state, so the
// jump back from libpng skips no destructor and clobbers nothing.
bool Write(png_structp png, png_infop info, std::FILE* stream, const DibImage* image, std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    WriteRows(png, info, stream, image, rows);
    return true;
}

}  // namespace

int WritePngFile(const wchar_t* path, const DibImage* image) {
    if (path == nullptr || image == nullptr || !image->HasPixels()) return 0;
    if (image->BitCount() != 16 && image->BitCount() != 24) return 0;
    StdioStream stream;
    if (!stream.Open(path, "wb")) return 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ReportAndJumpBack, IgnoreWarning);
    if (png == nullptr) return 0;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return 0;
    }
    std::vector<png_bytep> rows;
    try {
        rows.resize(static_cast<std::size_t>(image->Height()));
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "libpng error: %s\n", kNoRowMemory);
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    const bool written = Write(png, info, stream.Get(), image, rows);
    png_destroy_write_struct(&png, &info);
    const bool closed = stream.Close();
    return written && closed ? 1 : 0;
}

}  // namespace calidra
