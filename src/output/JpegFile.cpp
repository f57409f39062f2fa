#include "output/JpegFile.h"

#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

#include <jpeglib.h>

#include "output/StdioStream.h"
#include "pipeline/DibImage.h"

namespace calidra {

namespace {

// libjpeg's own error_exit ends the process; this one jumps back to the writer.
struct JpegErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf recover;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::longjmp(errors->recover, 1);
}

// The library keeps no log: libjpeg's warnings and traces are dropped.
void Silent(j_common_ptr) {}

void CompressRows(jpeg_compress_struct* cinfo, std::FILE* stream, const DibImage* image, int quality, JSAMPLE* row) {
    jpeg_create_compress(cinfo);
    jpeg_stdio_dest(cinfo, stream);
    cinfo->image_width = static_cast<JDIMENSION>(image->Width());
    cinfo->image_height = static_cast<JDIMENSION>(image->Height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_simple_progression(cinfo);
    jpeg_start_compress(cinfo, TRUE);
    const std::int32_t width = image->Width();
    // The picture's top row is the last stored line; samples go red first.
    for (std::int32_t line = image->Height() - 1; line >= 0; --line) {
        const std::uint8_t* bgr = image->Row(line);
        for (std::int32_t x = 0; x < width; ++x) {
            row[3 * x + 0] = bgr[3 * x + 2];
            row[3 * x + 1] = bgr[3 * x + 1];
            row[3 * x + 2] = bgr[3 * x + 0];
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
}

// The recovery point sits in a frame of its own with no local state, so the
// jump back from libjpeg skips no destructor and clobbers nothing.
bool Compress(jpeg_compress_struct* cinfo, JpegErrorManager* errors, std::FILE* stream, const DibImage* image,
              int quality, JSAMPLE* row) {
    if (setjmp(errors->recover) != 0) return false;
    CompressRows(cinfo, stream, image, quality, row);
    return true;
}

}  // namespace

int WriteJpegFile(const wchar_t* path, const DibImage* image, int quality) {
    if (path == nullptr || image == nullptr || !image->HasPixels() || image->BitCount() != 24) return 0;
    std::vector<JSAMPLE> row;
    try {
        row.resize(static_cast<std::size_t>(image->Width()) * 3);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    StdioStream stream;
    if (!stream.Open(path, "wb")) return 0;

    jpeg_compress_struct cinfo{};
    JpegErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JumpBack;
    errors.manager.output_message = Silent;
    const bool written = Compress(&cinfo, &errors, stream.Get(), image, quality, row.data());
    jpeg_destroy_compress(&cinfo);
    const bool closed = stream.Close();
    return written && closed ? 1 : 0;
}

}  // namespace calidra
