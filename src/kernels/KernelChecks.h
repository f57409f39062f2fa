// The checks every pixel kernel makes before it touches a pixel, and the span
// of lines and columns it then works on.
#pragma once

#include <cstdint>

#include "pipeline/PixelRegion.h"

namespace calidra {

class KernelChecks {
public:
    // The lines and columns both regions' rectangles share.
    struct Span {
        std::int32_t rows = 0;
        std::int32_t columns = 0;
    };

    // The options block is present, version 1, or version 10 of at least 12 bytes.
    static bool OptionsAccepted(const KernelOptions* options);
    // Size field at least 40; positive width, height, bytes per line and a
    // whole-byte depth whose pixels fit in a line; pixels present; the
    // rectangle inside the image with positive size.
    static bool RegionUsable(const PixelRegion* region);
    // Both regions usable with the same depth, which is one of depthA and depthB;
    // false when the kernel must write nothing.
    static bool PairUsable(const PixelRegion* destination, const PixelRegion* source, const KernelOptions* options,
                           std::int32_t depthA, std::int32_t depthB);
    static Span SpanOf(const PixelRegion& destination, const PixelRegion& source);
};

}  // namespace calidra
