#include "kernels/PngSamples.h"

#include <cstddef>
#include <cstdint>

#include "kernels/KernelChecks.h"
#include "platform/LittleEndian.h"

namespace calidra {

int PngSamples(const PixelRegion* destination, const PixelRegion* source, const KernelOptions* options, int, int) {
    if (!KernelChecks::PairUsable(destination, source, options, 16, 16)) return kKernelRefused;
    const KernelChecks::Span span = KernelChecks::SpanOf(*destination, *source);
    for (std::int32_t i = 0; i < span.rows; ++i) {
        std::uint8_t* to = destination->pixels +
                           static_cast<std::size_t>(destination->rect.top + i) * destination->bytesPerLine +
                           static_cast<std::size_t>(destination->rect.left) * 2;
        const std::uint8_t* from = source->pixels +
                                   static_cast<std::size_t>(source->rect.top + i) * source->bytesPerLine +
                                   static_cast<std::size_t>(source->rect.left) * 2;
        for (std::int32_t j = 0; j < span.columns; ++j) {
            PutLE16(to + 2 * j, static_cast<std::uint16_t>(GetLE16(from + 2 * j) << 6));
        }
    }
    return kKernelDone;
}

}  // namespace calidra
