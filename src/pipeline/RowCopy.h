// Copies an image's stored lines into a client's buffer, in memory order or
// last line first.
#pragma once

#include <cstdint>

namespace calidra {

class DibImage;

// Stride() x Height() bytes into out: one block copy in memory order, or line
// by line with out's line k taken from line (height - 1 - k) when reversed.
// Nothing for an image without pixels or a null out.
void CopyImageRows(const DibImage& image, std::uint8_t* out, bool reversed);

}  // namespace calidra
