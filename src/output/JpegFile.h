// Writes a 24-bit image as a progressive JPEG file through libjpeg.
#pragma once

namespace calidra {

class DibImage;

// The picture's top row first, at quality 0..100 with baseline-compatible
// tables. 1 on success; 0 for a null path or image, an image that is not 24
// bits per pixel, a file that cannot be created, or any libjpeg error (a full
// disk included): the error returns here instead of ending the process.
int WriteJpegFile(const wchar_t* path, const DibImage* image, int quality);

}  // namespace calidra
