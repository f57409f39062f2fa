#include "kernels/TiffSamples.h"

#include <cstddef>
#include <cstdint>

#include "kernels/KernelChecks.h"
#include "platform/LittleEndian.h"

namespace calidra {

int TiffSamples(const PixelRegion* destination, const PixelRegion* source, const KernelOptions* options, int, int) {
    if (!KernelChecks::PairUsable(destination, source, options, 16, 24)) return kKernelRefused;
    const KernelChecks::Span span = KernelChecks::SpanOf(*destination, *source);
    const std::size_t pixelBytes = static_cast<std::size_t>(destination->bitsPerPixel / 8);
    for (std::int32_t i = 0; i < span.rows; ++i) {
        std::uint8_t* to = destination->pixels +
                           static_cast<std::size_t>(destination->rect.top + i) * destination->bytesPerLine +
                           destination->rect.left * pixelBytes;
        const std::uint8_t* from = source->pixels +
                                   static_cast<std::size_t>(source->rect.bottom - 1 - i) * source->bytesPerLine +
                                   source->rect.left * pixelBytes;
        if (pixelBytes == 3) {
            for (std::int32_t j = 0; j < span.columns; ++j, to += 3, from += 3) {
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
            }
        } else {
            for (std::int32_t j = 0; j < span.columns; ++j) {
                PutLE16(to + 2 * j, static_cast<std::uint16_t>(GetLE16(from + 2 * j) << 6));
            }
        }
    }
    return kKernelDone;
}

}  // namespace calidra
