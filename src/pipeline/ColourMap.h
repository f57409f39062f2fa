// Pseudo-colour mapping of raw frames: levels inside the colour range spread
// over the palette, levels at or below it black, at or above it white; the range
// can follow the minimum and maximum of the frame's central window.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pipeline/ColourRange.h"
#include "pipeline/LevelColours.h"
#include "pipeline/Palette.h"

namespace calidra {

class DibImage;

class ColourMap {
public:
    // Margin added above the window maximum and below the window minimum.
    static constexpr std::int32_t kAutoMargin = 120;
    static constexpr std::int32_t kMaxLevel = 16383;

    ColourMap();
    ColourMap(const ColourMap&) = delete;
    ColourMap& operator=(const ColourMap&) = delete;

    const Palette::Entries& Entries() const { return palette_; }

    // Maps width x height raw levels (rows rawStride bytes apart) into 24-bit
    // blue, green, red pixels (rows colourStride bytes apart), then lets the
    // range follow the frame's central window as range.autoRange asks. Always 1;
    // nothing is mapped when a buffer is missing or the size is not positive.
    // One caller at a time: the object keeps the level table of the last range.
    int Colourise(const std::uint16_t* raw, std::size_t rawStride, int width, int height, std::uint8_t* colour,
                  std::size_t colourStride, ColourRange& range);
    // The same for a 16-bit raw image into a 24-bit colour image of at least its
    // size; nothing is mapped (and the range stays) when the images do not fit.
    int Colourise(const DibImage& raw, DibImage& colour, ColourRange& range);

private:
    Palette::Entries palette_;
    LevelColours levels_;
};

}  // namespace calidra
