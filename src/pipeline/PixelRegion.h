// What a pixel kernel is given: the description of a destination and a source
// image (PixelRegion), an options block, and two integers the kernels in use
// ignore. DibImage::ApplyKernel builds the regions.
#pragma once

#include <cstdint>

namespace calidra {

// A rectangle of pixels: columns left..right-1 and stored lines top..bottom-1,
// where line 0 is the first line in memory (the picture's bottom row in a
// bottom-up image).
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct PixelRegion {
    static constexpr std::uint32_t kSize = 40;

    std::uint32_t size = kSize;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bytesPerLine = 0;
    std::int32_t bitsPerPixel = 0;
    // Line r starts at pixels + r * bytesPerLine. A kernel writes only through
    // the destination region and only reads the source region.
    std::uint8_t* pixels = nullptr;
    // The part to work on: the whole image unless a rectangle was given.
    PixelRect rect;
};

// A kernel accepts a block whose version is 1, or 10 with a size of at least 12
// bytes; the kernels in use read nothing else from it.
struct KernelOptions {
    std::uint32_t size = 12;
    std::uint32_t version = 1;
    std::uint32_t flags = 0;
};

// A kernel's status: done, or nothing written.
constexpr int kKernelDone = 0;
constexpr int kKernelRefused = 1;

// destination and source describe two images; source may be null for a kernel
// that needs none. Returns kKernelDone, or non-zero when it has written nothing.
using PixelKernel = int (*)(const PixelRegion* destination, const PixelRegion* source, const KernelOptions* options,
                            int a, int b);

}  // namespace calidra
