#include "pipeline/ColourMap.h"

#include <algorithm>

#include "pipeline/DibImage.h"

namespace calidra {

namespace {

constexpr std::size_t kLevels = 65536;
constexpr std::uint32_t kWhite = 0xFFFFFF;

std::uint32_t BlueGreenRed(std::uint32_t paletteEntry) {
    return static_cast<std::uint32_t>(Palette::Blue(paletteEntry)) |
           static_cast<std::uint32_t>(Palette::Green(paletteEntry)) << 8 |
           static_cast<std::uint32_t>(Palette::Red(paletteEntry)) << 16;
}

}  // namespace

ColourMap::ColourMap() : levelColours_(kLevels, 0) { Palette::BuildPalette(palette_); }

void ColourMap::PrepareLevels(std::int32_t lower, std::int32_t upper) {
    if (levelsValid_ && lower == levelsLower_ && upper == levelsUpper_) return;
    // One division per level inside the range, once per range instead of once per pixel.
    const double span = static_cast<double>(upper) - static_cast<double>(lower);
    for (std::size_t v = 0; v < kLevels; ++v) {
        const std::int64_t level = static_cast<std::int64_t>(v);
        if (level <= lower) {
            levelColours_[v] = 0;
        } else if (level >= upper) {
            levelColours_[v] = kWhite;
        } else {
            const double step = static_cast<double>(level - lower) * 360.0 / span;
            const int e = std::clamp(static_cast<int>(step), 0, Palette::kEntries - 1);
            levelColours_[v] = BlueGreenRed(palette_[static_cast<std::size_t>(e)]);
        }
    }
    levelsValid_ = true;
    levelsLower_ = lower;
    levelsUpper_ = upper;
}

int ColourMap::Colourise(const std::uint16_t* raw, std::size_t rawStride, int width, int height, std::uint8_t* colour,
                         std::size_t colourStride, ColourRange& range) {
    if (raw == nullptr || colour == nullptr || width <= 0 || height <= 0) return 1;
    // The range is read once per frame: a change by the client mid-frame would
    // otherwise colour one picture with two ranges.
    PrepareLevels(range.rangeLow.load(std::memory_order_relaxed), range.rangeHigh.load(std::memory_order_relaxed));

    // The central window leaves out the borders, where a hot lens mount or a
    // vignetted corner would otherwise pull the range.
    const int firstRow = height / 12, endRow = 11 * height / 12;
    const int firstColumn = width / 16, endColumn = 15 * width / 16;
    std::uint32_t windowMax = 0;
    std::uint32_t windowMin = 100000;
    const auto* rawBytes = reinterpret_cast<const std::uint8_t*>(raw);
    const std::uint32_t* colours = levelColours_.data();
    for (int i = 0; i < height; ++i) {
        const auto* in = reinterpret_cast<const std::uint16_t*>(rawBytes + static_cast<std::size_t>(i) * rawStride);
        std::uint8_t* out = colour + static_cast<std::size_t>(i) * colourStride;
        for (int j = 0; j < width; ++j) {
            const std::uint32_t c = colours[in[j]];
            out[3 * j] = static_cast<std::uint8_t>(c);
            out[3 * j + 1] = static_cast<std::uint8_t>(c >> 8);
            out[3 * j + 2] = static_cast<std::uint8_t>(c >> 16);
        }
        if (firstRow < i && i < endRow) {
            std::uint32_t rowMax = windowMax, rowMin = windowMin;
            for (int j = firstColumn + 1; j < endColumn; ++j) {
                rowMax = std::max<std::uint32_t>(rowMax, in[j]);
                rowMin = std::min<std::uint32_t>(rowMin, in[j]);
            }
            windowMax = rowMax;
            windowMin = rowMin;
        }
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
