#include "output/ImageFile.h"

#include <cstring>

#include "kernels/PngSamples.h"
#include "output/BitmapFile.h"
#include "output/FileAccess.h"
#include "output/JpegFile.h"
#include "output/PngFile.h"
#include "output/TiffFile.h"
#include "pipeline/DibImage.h"

namespace calidra {

namespace {

int WritePng(const wchar_t* path, const DibImage* image) {
    if (image->BitCount() != 16) return WritePngFile(path, image);
    DibImage scaled;
    if (!scaled.CreateLike(image) || scaled.ApplyKernel(PngSamples, image) != kKernelDone) return 0;
    return WritePngFile(path, &scaled);
}

}  // namespace

int WriteBareFile(const wchar_t* path, const void* bytes, std::size_t count) {
    if (path == nullptr || bytes == nullptr) return 0;
    FileAccess file;
    // Emptied first, unlike an in-place overwrite: a save over a longer file
    // must not leave the old file's tail behind the new picture.
    if (!file.OpenForWrite(path)) return 0;
    const bool ok = file.Write(bytes, count);
    file.Close();
    return ok ? 1 : 0;
}

int SaveImageFile(const wchar_t* path, const DibImage* image, unsigned format) {
    if (path == nullptr || image == nullptr || !image->HasPixels()) return 0;
    switch (format) {
        case kFormatBitmap:
            return WriteBitmapFile(image, path);
        case kFormatBareBytes:
            return WriteBareFile(path, image->Bits(), image->ImageSize());
        case kFormatJpeg100:
            return WriteJpegFile(path, image, 100);
        case kFormatJpeg70:
            return WriteJpegFile(path, image, 70);
        case kFormatJpeg20:
            return WriteJpegFile(path, image, 20);
        case kFormatPng:
            return WritePng(path, image);
        case kFormatTiff:
            return WriteTiffFile(path, image);
        default:
            return 0;
    }
}

int SaveImageFileFlipped(const wchar_t* path, const DibImage* image, unsigned format) {
    if (path == nullptr || image == nullptr || !image->HasPixels()) return 0;
    DibImage flipped;
    if (!flipped.CreateLike(image)) return 0;
    const std::int32_t height = image->Height();
    const auto stride = static_cast<std::size_t>(image->Stride());
    for (std::int32_t k = 0; k < height; ++k) std::memcpy(flipped.Row(k), image->Row(height - 1 - k), stride);
    return SaveImageFile(path, &flipped, format);
}

}  // namespace calidra
