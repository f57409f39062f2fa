// Writes an image as an uncompressed single-strip TIFF file through libtiff:
// 24-bit images as 8-bit RGB, 16-bit images as 16-bit grey.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calidra {

class DibImage;
class WriterScratch;

// The one strip of a TIFF file: the picture's top row first, red before blue,
// 16-bit samples scaled by the TIFF sample kernel, rows without padding.
struct TiffStrip {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool grey = false;  // 16-bit grey, else 8-bit RGB
};

// Fills strip from image, in scratch (valid until scratch's next use). false
// for a null or empty image, another depth, or no memory.
bool PrepareTiffStrip(const DibImage* image, TiffStrip& strip, WriterScratch& scratch);

// Writes a prepared strip as an uncompressed single-strip TIFF file. 1 on
// success; 0 for a null path or strip, a path the platform refuses, a file
// that cannot be created or any libtiff error. libtiff's errors and warnings
// reach neither the screen nor the process's own handlers.
int WriteTiffStrip(const wchar_t* path, const TiffStrip& strip);

// PrepareTiffStrip, then WriteTiffStrip: 1 on success, 0 when either fails.
int WriteTiffFile(const wchar_t* path, const DibImage* image);

}  // namespace calidra
