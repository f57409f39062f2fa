// The records of a Windows bitmap that images carry: the 40-byte information
// header and the 4-byte colour-table entry, with their little-endian packing as
// they stand in a .bmp file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/LittleEndian.h"

namespace calidra {

struct BitmapInfoHeader {
    static constexpr std::size_t kBytes = 40;
    static constexpr std::uint32_t kRgb = 0;  // biCompression: uncompressed

    std::uint32_t biSize = kBytes;
    std::int32_t biWidth = 0;
    // Positive: the rows are stored bottom-up (the first stored row is the
    // picture's bottom row).
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = kRgb;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;

    // Writes the kBytes bytes of the header, in file order, to out.
    void Pack(std::uint8_t* out) const {
        PutLE32(out + 0, biSize);
        PutLE32(out + 4, static_cast<std::uint32_t>(biWidth));
        PutLE32(out + 8, static_cast<std::uint32_t>(biHeight));
        PutLE16(out + 12, biPlanes);
        PutLE16(out + 14, biBitCount);
        PutLE32(out + 16, biCompression);
        PutLE32(out + 20, biSizeImage);
        PutLE32(out + 24, static_cast<std::uint32_t>(biXPelsPerMeter));
        PutLE32(out + 28, static_cast<std::uint32_t>(biYPelsPerMeter));
        PutLE32(out + 32, biClrUsed);
        PutLE32(out + 36, biClrImportant);
    }
};

// One colour-table entry, in file order: blue, green, red, reserved.
struct RgbQuad {
    static constexpr std::size_t kBytes = 4;

    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;

    void Pack(std::uint8_t* out) const {
        out[0] = blue;
        out[1] = green;
        out[2] = red;
        out[3] = reserved;
    }
    friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};

}  // namespace calidra
