// The frame-copy and conversion contracts of the device class for raw frames of
// other formats than this camera's: 8-bit grey bytes and 16-bit luma/chroma words
// (luma in the low byte, chroma - 128 as a signed high byte, blue-difference
// chroma in even columns and red-difference chroma in odd ones). Results follow
// the device layer: 0 success, 5 invalid region or layout, 14 a buffer missing or
// too small for the operation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace calidra {

// How a raw frame lies in its transfer buffer; all counts in pixels.
struct FrameLayout {
    std::int32_t linePitch = 640;
    std::int32_t startOffset = 0;
    std::int32_t firstLine = 0;
    std::int32_t lineCount = 480;
    std::int32_t outputWidth = 640;
    // The bound for regions: one line more than a frame of this camera holds.
    std::int32_t totalLines = 481;
    // Field-interleaved frames: even output lines come from the first field at
    // fieldStart[0] + firstLine, odd ones from the second at fieldStart[1] +
    // secondFieldLine. Progressive frames use startOffset + firstLine.
    bool interlaced = false;
    std::int32_t secondFieldLine = 0;
    std::array<std::int32_t, 2> fieldStart{};
    // 2 bytes per value in 16-bit transfer mode, else 1.
    bool sixteenBit = true;

    // The progressive layout of a window of width x height.
    static FrameLayout ForWindow(std::int32_t width, std::int32_t height, bool sixteenBit);
    std::size_t BytesPerValue() const { return sixteenBit ? 2 : 1; }
};

// Copies outputWidth x lineCount values from the start of source.
int CopyRawFrame(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source, const FrameLayout& layout);

// Converts the source rectangle (x0, y0) to (x1, y1), both corners included, into
// 24-bit blue, green, red pixels written row after row without padding. colour 0
// reads grey bytes, any other value luma/chroma words (BT.601, studio range).
// Source pixel (x, y) is value startOffset + y x linePitch + x; the rectangle must
// lie within linePitch columns and totalLines lines, and source must hold whole
// lines up to y1.
int ConvertRegion(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source, int colour,
                  std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, const FrameLayout& layout);

// ConvertRegion over (0, 0) to (outputWidth - 1, lineCount - 1).
int ConvertFrame(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source, int colour,
                 const FrameLayout& layout);

// Copies lineCount lines of outputWidth values each into consecutive destination
// lines, taking each from where the layout puts it.
int CopyLines(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source, const FrameLayout& layout);

}  // namespace calidra
