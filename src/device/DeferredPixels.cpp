#include "device/DeferredPixels.h"

#include <xmmintrin.h>

#include "device/PixelCorrection.h"

namespace calidra {

void DeferredPixels::Add(std::uint16_t raw, const double* quad, std::uint16_t* out) {
    _mm_prefetch(reinterpret_cast<const char*>(quad), _MM_HINT_T0);
    if (count_ == kCapacity) ComputeOldest(kCapacity / 2);
    waiting_[(first_ + count_) % kCapacity] = {quad, out, raw};
    ++count_;
    ++total_;
}

void DeferredPixels::ComputeOldest(std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        const Waiting& pixel = waiting_[(first_ + k) % kCapacity];
        const double* quad = pixel.quad;
        CorrectLevelsScalar(&pixel.raw, pixel.out, 1, {quad, quad + 1, quad + 2, quad + 3});
    }
    first_ = (first_ + count) % kCapacity;
    count_ -= count;
}

void DeferredPixels::Finish() { ComputeOldest(count_); }

}  // namespace calidra
