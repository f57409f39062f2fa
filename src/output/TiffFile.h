// Writes an image as an uncompressed single-strip TIFF file through libtiff:
// 24-bit images as 8-bit RGB, 16-bit images as 16-bit grey.
#pragma once

namespace calidra {

class DibImage;

// The picture's top row first, red before blue, 16-bit samples scaled by the
// TIFF sample kernel. 1 on success; 0 for a null path or image, another depth,
// a path the platform refuses, a file that cannot be created or any libtiff
// error. libtiff's errors and warnings reach neither the screen nor the
// process's own handlers.
int WriteTiffFile(const wchar_t* path, const DibImage* image);

}  // namespace calidra
