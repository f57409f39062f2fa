#include "kernels/TiffSamples.h"

#include <emmintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include "kernels/KernelChecks.h"
#include "kernels/RedBlueSwap.h"
#include "platform/LittleEndian.h"

namespace calidra {

namespace {

// Little-endian 16-bit samples shifted left by 6 bits, the high bits dropped;
// eight at a time where the host's words are little-endian as well.
void ShiftLevels(const std::uint8_t* from, std::uint8_t* to, std::int32_t count) {
    std::int32_t j = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; j + 8 <= count; j += 8) {
            const __m128i levels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * j));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 2 * j), _mm_slli_epi16(levels, 6));
        }
    }
    for (; j < count; ++j) PutLE16(to + 2 * j, static_cast<std::uint16_t>(GetLE16(from + 2 * j) << 6));
}

}  // namespace

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
            SwapRedBlue(from, to, static_cast<std::size_t>(span.columns));
        } else {
            ShiftLevels(from, to, span.columns);
        }
    }
    return kKernelDone;
}

}  // namespace calidra
