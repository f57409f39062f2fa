// Writes an image as a PNG file through libpng: 24-bit images as 8-bit RGB,
// 16-bit images as 16-bit grey.
#pragma once

namespace calidra {

class DibImage;

// The picture's top row first. 16-bit samples are written as they are (most
// significant byte first, as PNG wants). 1 on success; 0 for a null path or
// image, another depth, a file that cannot be created, or any libpng error,
// which also prints "libpng error: <message>" on the standard error stream.
// Each call has its own libpng state, so several threads may save at once.
int WritePngFile(const wchar_t* path, const DibImage* image);

}  // namespace calidra
