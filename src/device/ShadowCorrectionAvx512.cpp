// The shadow correction sixteen floats at a time. Only this file is built for
// AVX-512, and it defines no inline function another file could share: the
// linker must never pick a wide-register copy for code that runs on any
// processor.
#include <immintrin.h>

#include "device/CorrectionShadow.h"
#include "device/SensorFrame.h"
#include "device/ShadowCorrection.h"

namespace calidra {

void CorrectShadowAvx512(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                         DeferredPixels& deferred) {
    const __m512 relative = _mm512_set1_ps(CorrectionShadow::kRelativeBound);
    const __m512 absolute = _mm512_set1_ps(CorrectionShadow::kAbsoluteBound);
    const __m512i one = _mm512_set1_epi32(1);
    const __m512i top = _mm512_set1_epi32(kMaxLevel);
    std::size_t i = 0;
    // The steps of the four-pixel version (SSE2), with masks for the lanes.
    for (; i + 16 <= count; i += 16) {
        const __m256i levels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m512 raw = _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(levels));
        const __m512 high = _mm512_castsi512_ps(_mm512_slli_epi32(
            _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(run.high + i))), 16));
        const __m512 g = _mm512_loadu_ps(run.low + i);
        const __m512 h = _mm512_loadu_ps(run.offset + i);
        const __m512 p = _mm512_mul_ps(raw, high);
        const __m512 m = _mm512_mul_ps(raw, g);
        const __m512 q = _mm512_add_ps(m, h);
        const __m512 s = _mm512_add_ps(_mm512_abs_ps(m), _mm512_abs_ps(h));
        const __mmask16 inexact = _mm512_test_epi32_mask(_mm512_castps_si512(g), one);
        const __m512 e = _mm512_maskz_mov_ps(inexact, _mm512_add_ps(_mm512_mul_ps(s, relative), absolute));
        const __m512i whole = _mm512_cvtps_epi32(p);
        const __m512 w = _mm512_add_ps(_mm512_sub_ps(p, _mm512_cvtepi32_ps(whole)), q);
        const __m512i k = _mm512_cvtps_epi32(w);
        const __m512 d = _mm512_sub_ps(w, _mm512_cvtepi32_ps(k));
        const __mmask16 decided = _mm512_cmp_ps_mask(_mm512_abs_ps(d), e, _CMP_GE_OQ);
        const __mmask16 below = _mm512_cmp_ps_mask(d, _mm512_setzero_ps(), _CMP_LT_OQ);
        const __m512i sum = _mm512_add_epi32(whole, k);
        const __m512i total = _mm512_mask_sub_epi32(sum, below, sum, one);
        // Clamped to 0..16383 the levels fit the 16-bit lanes the narrowing keeps;
        // lanes left to the doubles hold any value until those overwrite them.
        const __m256i clamped =
            _mm512_cvtepi32_epi16(_mm512_min_epi32(_mm512_max_epi32(total, _mm512_setzero_si512()), top));
        const unsigned open = ~static_cast<unsigned>(decided) & 0xFFFFu;
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
        CorrectShadowAvx2(in + i, out + i, count - i, {run.high + i, run.low + i, run.offset + i, run.quads + 4 * i},
                          deferred);
    }
}

}  // namespace calidra
