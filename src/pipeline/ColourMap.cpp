#include "pipeline/ColourMap.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "pipeline/DibImage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace calidra {

namespace {

Palette::Entries BuiltPalette() {
    Palette::Entries palette{};
    Palette::BuildPalette(palette);
    return palette;
}

void PutPixel(std::uint8_t* out, std::uint32_t colour) {
    out[0] = static_cast<std::uint8_t>(colour);
    out[1] = static_cast<std::uint8_t>(colour >> 8);
    out[2] = static_cast<std::uint8_t>(colour >> 16);
}

// Eight pixels are 24 bytes, three 64-bit words: packing the 24-bit colours
// into whole words saves two thirds of the stores of a byte-by-byte copy.
void ColourRow(const std::uint16_t* in, std::uint8_t* out, int width, const std::uint32_t* colours) {
    int j = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; j + 8 <= width; j += 8) {
            const std::uint64_t c0 = colours[in[j]], c1 = colours[in[j + 1]], c2 = colours[in[j + 2]],
                                c3 = colours[in[j + 3]], c4 = colours[in[j + 4]], c5 = colours[in[j + 5]],
                                c6 = colours[in[j + 6]], c7 = colours[in[j + 7]];
            const std::uint64_t first = c0 | c1 << 24 | c2 << 48;
            const std::uint64_t second = c2 >> 16 | c3 << 8 | c4 << 32 | c5 << 56;
            const std::uint64_t third = c5 >> 8 | c6 << 16 | c7 << 40;
            std::memcpy(out + 3 * j, &first, 8);
            std::memcpy(out + 3 * j + 8, &second, 8);
            std::memcpy(out + 3 * j + 16, &third, 8);
        }
    }
    for (; j < width; ++j) PutPixel(out + 3 * j, colours[in[j]]);
}

// Minimum and maximum of count levels, folded into *low and *high.
void FoldMinMax(const std::uint16_t* in, int count, std::uint32_t* low, std::uint32_t* high) {
    if (count <= 0) return;
    std::uint16_t rowLow = 0xFFFF, rowHigh = 0;
    int j = 0;
#if defined(__SSE2__)
    // SSE2 compares only signed words: flipping the top bit keeps the order.
    const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
    __m128i vLow = _mm_set1_epi16(0x7FFF), vHigh = _mm_set1_epi16(static_cast<short>(0x8000));
    for (; j + 8 <= count; j += 8) {
        const __m128i v = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j)), bias);
        vLow = _mm_min_epi16(vLow, v);
        vHigh = _mm_max_epi16(vHigh, v);
    }
    std::uint16_t lanes[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), _mm_xor_si128(vLow, bias));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 8), _mm_xor_si128(vHigh, bias));
    for (int k = 0; k < 8; ++k) {
        rowLow = std::min(rowLow, lanes[k]);
        rowHigh = std::max(rowHigh, lanes[8 + k]);
    }
#endif
    for (; j < count; ++j) {
        rowLow = std::min(rowLow, in[j]);
        rowHigh = std::max(rowHigh, in[j]);
    }
    *low = std::min<std::uint32_t>(*low, rowLow);
    *high = std::max<std::uint32_t>(*high, rowHigh);
}

}  // namespace

ColourMap::ColourMap() : palette_(BuiltPalette()), levels_(palette_) {}

int ColourMap::Colourise(const std::uint16_t* raw, std::size_t rawStride, int width, int height, std::uint8_t* colour,
                         std::size_t colourStride, ColourRange& range) {
    if (raw == nullptr || colour == nullptr || width <= 0 || height <= 0) return 1;
    // The range is read once per frame: a change by the client mid-frame would
    // otherwise colour one picture with two ranges.
    levels_.Prepare(range.rangeLow.load(std::memory_order_relaxed), range.rangeHigh.load(std::memory_order_relaxed));

    // The central window leaves out the borders, where a hot lens mount or a
    // vignetted corner would otherwise pull the range.
    const int firstRow = height / 12, endRow = 11 * height / 12;
    const int firstColumn = width / 16, endColumn = 15 * width / 16;
    std::uint32_t windowMax = 0;
    std::uint32_t windowMin = 100000;
    const auto* rawBytes = reinterpret_cast<const std::uint8_t*>(raw);
    const std::uint32_t* colours = levels_.Table();
    for (int i = 0; i < height; ++i) {
        const auto* in = reinterpret_cast<const std::uint16_t*>(rawBytes + static_cast<std::size_t>(i) * rawStride);
        ColourRow(in, colour + static_cast<std::size_t>(i) * colourStride, width, colours);
        // The row is still in the nearest cache: this is no second pass over memory.
        if (firstRow < i && i < endRow)
            FoldMinMax(in + firstColumn + 1, endColumn - firstColumn - 1, &windowMin, &windowMax);
    }

    std::int32_t counter = range.autoRange.load(std::memory_order_relaxed);
    if (counter == 0) return 1;
    // A counter the client changed meanwhile is the client's: leave its range alone.
    if (counter > 0 && !range.autoRange.compare_exchange_strong(counter, counter - 1, std::memory_order_relaxed))
        return 1;
    const std::int64_t high = static_cast<std::int64_t>(windowMax) + kAutoMargin;
    const std::int64_t low = static_cast<std::int64_t>(windowMin) - kAutoMargin;
    range.rangeHigh.store(static_cast<std::int32_t>(std::min<std::int64_t>(high, kMaxLevel)),
                          std::memory_order_relaxed);
    range.rangeLow.store(static_cast<std::int32_t>(std::max<std::int64_t>(low, 0)), std::memory_order_relaxed);
    return 1;
}

int ColourMap::Colourise(const DibImage& raw, DibImage& colour, ColourRange& range) {
    if (raw.BitCount() != 16 || colour.BitCount() != 24 || !raw.HasPixels() || !colour.HasPixels() ||
        colour.Width() < raw.Width() || colour.Height() < raw.Height())
        return 1;
    return Colourise(reinterpret_cast<const std::uint16_t*>(raw.Bits()), static_cast<std::size_t>(raw.Stride()),
                     raw.Width(), raw.Height(), colour.Bits(), static_cast<std::size_t>(colour.Stride()), range);
}

}  // namespace calidra
