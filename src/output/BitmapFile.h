// Writes an image as a Windows bitmap (.bmp) file.
#pragma once

namespace calidra {

class DibImage;

// File header, the image's own 40-byte information header, the colour table of
// an 8-bit image, then the stored lines as they are (a positive height keeps
// the picture upright). 1 when the file was created and every write
// succeeded; 0 otherwise (a null image or path, an image without pixels).
int WriteBitmapFile(const DibImage* image, const wchar_t* path);

}  // namespace calidra
