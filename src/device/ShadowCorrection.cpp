#include "device/ShadowCorrection.h"

#include <xmmintrin.h>

#include <bit>
#include <cmath>

#include "device/CorrectionShadow.h"
#include "device/SensorFrame.h"

namespace calidra {

namespace {

constexpr unsigned kRoundingControl = 0x6000;
// Far beyond any value the shadows' limits allow, far below where a float
// stops converting to a 32-bit integer.
constexpr float kConvertible = 0x1p30f;

// One pixel through its shadows, step for step as the vector kernels take each
// lane (see CorrectionShadow for why it is exact): true with *level when the
// bound decides the pixel.
bool ShadowPixel(std::uint16_t raw, std::uint16_t highBits, float low, float offset, std::uint16_t* level) {
    const auto r = static_cast<float>(raw);
    const float p = r * std::bit_cast<float>(static_cast<std::uint32_t>(highBits) << 16);
    const float m = r * low;
    const float q = m + offset;
    const float s = std::fabs(m) + std::fabs(offset);
    const bool exact = (std::bit_cast<std::uint32_t>(low) & 1u) == 0;
    const float e = exact ? 0.0f : s * CorrectionShadow::kRelativeBound + CorrectionShadow::kAbsoluteBound;
    if (!(std::fabs(p) < kConvertible)) return false;
    // Nearest integers, ties to even, as the vector conversions give them.
    const float whole = std::nearbyint(p);
    const float w = (p - whole) + q;
    if (!(std::fabs(w) < kConvertible)) return false;
    const float k = std::nearbyint(w);
    const float d = w - k;
    if (!(std::fabs(d) >= e)) return false;
    const long total = static_cast<long>(whole) + static_cast<long>(k) - (d < 0.0f ? 1 : 0);
    *level = static_cast<std::uint16_t>(total < 0 ? 0 : (total > kMaxLevel ? kMaxLevel : total));
    return true;
}

}  // namespace

void CorrectShadowScalar(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                         DeferredPixels& deferred) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t raw = in[i];
        if (!ShadowPixel(raw, run.high[i], run.low[i], run.offset[i], &out[i]))
            deferred.Add(raw, run.quads + 4 * i, &out[i]);
    }
}

bool ShadowPathAvailable(ShadowPath path) {
    switch (path) {
        case ShadowPath::kScalar:
            return CorrectionPathAvailable(CorrectionPath::kScalar);
        case ShadowPath::kSse2:
            return CorrectionPathAvailable(CorrectionPath::kSse2);
        case ShadowPath::kAvx2:
            return CorrectionPathAvailable(CorrectionPath::kAvx2);
        case ShadowPath::kAvx512:
            // Also false where the operating system does not save the wide registers.
            __builtin_cpu_init();
            return CorrectionPathAvailable(CorrectionPath::kAvx2) && __builtin_cpu_supports("avx512f");
    }
    return false;
}

ShadowKernel ShadowKernelFor(ShadowPath path) {
    if (!ShadowPathAvailable(path)) return nullptr;
    switch (path) {
        case ShadowPath::kScalar:
            return CorrectShadowScalar;
        case ShadowPath::kSse2:
            return CorrectShadowSse2;
        case ShadowPath::kAvx2:
            return CorrectShadowAvx2;
        case ShadowPath::kAvx512:
            return CorrectShadowAvx512;
    }
    return nullptr;
}

ShadowPath BestShadowPath() {
    for (ShadowPath path : {ShadowPath::kAvx512, ShadowPath::kAvx2}) {
        if (ShadowPathAvailable(path)) return path;
    }
    return ShadowPath::kSse2;
}

bool ShadowBoundHolds() { return (_mm_getcsr() & kRoundingControl) == 0; }

}  // namespace calidra
