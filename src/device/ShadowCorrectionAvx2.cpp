// The shadow correction eight floats at a time. Only this file is built for
// AVX2, and it defines no inline function another file could share: the
// linker must never pick a wide-register copy for code that runs on any
// processor.
#include <immintrin.h>

#include "device/CorrectionShadow.h"
#include "device/SensorFrame.h"
#include "device/ShadowCorrection.h"

namespace calidra {

namespace {

// Eight pixels through their shadows; see the four-pixel version (SSE2).
__attribute__((always_inline)) inline __m256i ShadowEight(__m128i levels, __m128i highBits, const float* low,
                                                          const float* offset, int* decided) {
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256 raw = _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(levels));
    const __m256 high = _mm256_castsi256_ps(_mm256_slli_epi32(_mm256_cvtepu16_epi32(highBits), 16));
    const __m256 g = _mm256_loadu_ps(low);
    const __m256 h = _mm256_loadu_ps(offset);
    const __m256 p = _mm256_mul_ps(raw, high);
    const __m256 m = _mm256_mul_ps(raw, g);
    const __m256 q = _mm256_add_ps(m, h);
    const __m256 s = _mm256_add_ps(_mm256_and_ps(m, magnitude), _mm256_and_ps(h, magnitude));
    __m256 e = _mm256_add_ps(_mm256_mul_ps(s, _mm256_set1_ps(CorrectionShadow::kRelativeBound)),
                             _mm256_set1_ps(CorrectionShadow::kAbsoluteBound));
    const __m256i mark = _mm256_and_si256(_mm256_castps_si256(g), _mm256_set1_epi32(1));
    e = _mm256_andnot_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(mark, _mm256_setzero_si256())), e);
    const __m256i whole = _mm256_cvtps_epi32(p);
    const __m256 w = _mm256_add_ps(_mm256_sub_ps(p, _mm256_cvtepi32_ps(whole)), q);
    const __m256i k = _mm256_cvtps_epi32(w);
    const __m256 d = _mm256_sub_ps(w, _mm256_cvtepi32_ps(k));
    *decided = _mm256_movemask_ps(_mm256_cmp_ps(_mm256_and_ps(d, magnitude), e, _CMP_GE_OQ));
    const __m256i below = _mm256_castps_si256(_mm256_cmp_ps(d, _mm256_setzero_ps(), _CMP_LT_OQ));
    return _mm256_add_epi32(_mm256_add_epi32(whole, k), below);
}

}  // namespace

void CorrectShadowAvx2(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                       DeferredPixels& deferred) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = _mm256_set1_epi16(static_cast<short>(kMaxLevel));
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i levels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(run.high + i));
        int low = 0, upper = 0;
        const __m256i t0 = ShadowEight(_mm256_castsi256_si128(levels), _mm256_castsi256_si128(high), run.low + i,
                                       run.offset + i, &low);
        const __m256i t1 = ShadowEight(_mm256_extracti128_si256(levels, 1), _mm256_extracti128_si256(high, 1),
                                       run.low + i + 8, run.offset + i + 8, &upper);
        const unsigned open = ~static_cast<unsigned>(low | upper << 8) & 0xFFFFu;
        // The pack works within each 128-bit half, the permute restores pixel
        // order, and the saturation and the 16-bit limits clamp to 0..16383;
        // lanes left to the doubles hold any value until those overwrite them.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(t0, t1), 0xD8);
        const __m256i clamped = _mm256_min_epi16(_mm256_max_epi16(packed, zero), top);
        if (open == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), clamped);
            continue;
        }
        // The raw levels are kept aside first: out may be in.
        alignas(32) std::uint16_t raws[16];
        _mm256_store_si256(reinterpret_cast<__m256i*>(raws), levels);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), clamped);
        for (unsigned lanes = open; lanes != 0; lanes &= lanes - 1) {
            const auto lane = static_cast<unsigned>(__builtin_ctz(lanes));
            deferred.Add(raws[lane], run.quads + 4 * (i + lane), out + i + lane);
        }
    }
    if (i < count) {
        CorrectShadowSse2(in + i, out + i, count - i, {run.high + i, run.low + i, run.offset + i, run.quads + 4 * i},
                          deferred);
    }
}

}  // namespace calidra
