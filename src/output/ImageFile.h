// One image written unchanged, or upside down, in one of the seven image
// formats, and headerless byte files.
#pragma once

#include <cstddef>

namespace calidra {

class DibImage;

enum ImageFormat : unsigned {
    kFormatBitmap = 0,
    kFormatBareBytes = 1,
    kFormatJpeg100 = 2,
    kFormatJpeg70 = 3,
    kFormatJpeg20 = 4,
    kFormatPng = 5,
    kFormatTiff = 6,
};

// Writes image in format. Bare bytes are the stored lines as they are; PNG
// takes 24-bit images as they are and 16-bit ones with their samples scaled to
// the 16-bit range. 1 on success; 0 for a null or empty image, a null path, an
// unknown format or any failure of the format's writer.
int SaveImageFile(const wchar_t* path, const DibImage* image, unsigned format);

// As SaveImageFile on a copy of image whose stored lines are in reverse order.
int SaveImageFileFlipped(const wchar_t* path, const DibImage* image, unsigned format);

// Writes count bytes as the whole content of path (an existing file is emptied
// first). 1 on success; 0 for a null path or bytes, or a failed open or write.
int WriteBareFile(const wchar_t* path, const void* bytes, std::size_t count);

}  // namespace calidra
