// The shadow correction four floats at a time with the instructions every
// x86-64 processor has.
#include <emmintrin.h>

#include "device/CorrectionShadow.h"
#include "device/SensorFrame.h"
#include "device/ShadowCorrection.h"

namespace calidra {

namespace {

// Four pixels through their shadows, step for step as the scalar kernel: the
// level before the clamp, and in *decided one bit per lane the bound settles.
// A NaN anywhere makes d NaN, which fails the comparison.
inline __m128i ShadowFour(__m128 raw, __m128 high, const float* low, const float* offset, int* decided) {
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 g = _mm_loadu_ps(low);
    const __m128 h = _mm_loadu_ps(offset);
    const __m128 p = _mm_mul_ps(raw, high);
    const __m128 m = _mm_mul_ps(raw, g);
    const __m128 q = _mm_add_ps(m, h);
    const __m128 s = _mm_add_ps(_mm_and_ps(m, magnitude), _mm_and_ps(h, magnitude));
    __m128 e = _mm_add_ps(_mm_mul_ps(s, _mm_set1_ps(CorrectionShadow::kRelativeBound)),
                          _mm_set1_ps(CorrectionShadow::kAbsoluteBound));
    const __m128i mark = _mm_and_si128(_mm_castps_si128(g), _mm_set1_epi32(1));
    e = _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(mark, _mm_setzero_si128())), e);
    const __m128i whole = _mm_cvtps_epi32(p);
    const __m128 w = _mm_add_ps(_mm_sub_ps(p, _mm_cvtepi32_ps(whole)), q);
    const __m128i k = _mm_cvtps_epi32(w);
    const __m128 d = _mm_sub_ps(w, _mm_cvtepi32_ps(k));
    *decided = _mm_movemask_ps(_mm_cmpge_ps(_mm_and_ps(d, magnitude), e));
    const __m128i below = _mm_castps_si128(_mm_cmplt_ps(d, _mm_setzero_ps()));
    return _mm_add_epi32(_mm_add_epi32(whole, k), below);
}

}  // namespace

void CorrectShadowSse2(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                       DeferredPixels& deferred) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi16(static_cast<short>(kMaxLevel));
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i levels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run.high + i));
        int low = 0, upper = 0;
        // Interleaving zeros below the 16 stored bits widens them to floats.
        const __m128i t0 =
            ShadowFour(_mm_cvtepi32_ps(_mm_unpacklo_epi16(levels, zero)),
                       _mm_castsi128_ps(_mm_unpacklo_epi16(zero, high)), run.low + i, run.offset + i, &low);
        const __m128i t1 =
            ShadowFour(_mm_cvtepi32_ps(_mm_unpackhi_epi16(levels, zero)),
                       _mm_castsi128_ps(_mm_unpackhi_epi16(zero, high)), run.low + i + 4, run.offset + i + 4, &upper);
        const unsigned open = ~static_cast<unsigned>(low | upper << 4) & 0xFFu;
        // The saturating pack and the 16-bit limits clamp to 0..16383; lanes left
        // to the doubles hold any value until those overwrite them.
        const __m128i packed = _mm_packs_epi32(t0, t1);
        if (open == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_min_epi16(_mm_max_epi16(packed, zero), top));
            continue;
        }
        // The raw levels are kept aside first: out may be in.
        alignas(16) std::uint16_t raws[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(raws), levels);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_min_epi16(_mm_max_epi16(packed, zero), top));
        for (unsigned lanes = open; lanes != 0; lanes &= lanes - 1) {
            const auto lane = static_cast<unsigned>(__builtin_ctz(lanes));
            deferred.Add(raws[lane], run.quads + 4 * (i + lane), out + i + lane);
        }
    }
    if (i < count) {
        CorrectShadowScalar(in + i, out + i, count - i, {run.high + i, run.low + i, run.offset + i, run.quads + 4 * i},
                            deferred);
    }
}

}  // namespace calidra
