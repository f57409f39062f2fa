// The correction four doubles at a time. Only this file is built for AVX2, and
// it defines no inline function another file could share: the linker must never
// pick a wide-register copy for code that runs on any processor.
#include <immintrin.h>

#include "device/PixelCorrection.h"

namespace calidra {

namespace {

// The formula and its clamps on four pixels; see the two-pixel version for why
// the clamp operands stand in this order.
__attribute__((always_inline)) inline __m128i CorrectFour(__m128i levels32, const CorrectionRun& run, std::size_t i) {
    __m256d v = _mm256_mul_pd(_mm256_cvtepi32_pd(levels32), _mm256_loadu_pd(run.gain + i));
    v = _mm256_add_pd(v, _mm256_loadu_pd(run.offset + i));
    v = _mm256_add_pd(v, _mm256_loadu_pd(run.shutterOffset + i));
    v = _mm256_mul_pd(v, _mm256_loadu_pd(run.scale + i));
    v = _mm256_min_pd(_mm256_set1_pd(16383.0), v);
    v = _mm256_max_pd(v, _mm256_setzero_pd());
    return _mm256_cvttpd_epi32(v);
}

}  // namespace

void CorrectLevelsAvx2(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const CorrectionRun& run) {
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m256i levels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        const __m256i low = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(levels));
        const __m256i high = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(levels, 1));
        const __m128i t0 = CorrectFour(_mm256_castsi256_si128(low), run, i);
        const __m128i t1 = CorrectFour(_mm256_extracti128_si256(low, 1), run, i + 4);
        const __m128i t2 = CorrectFour(_mm256_castsi256_si128(high), run, i + 8);
        const __m128i t3 = CorrectFour(_mm256_extracti128_si256(high, 1), run, i + 12);
        // Every result lies in 0..16383, so the signed saturating pack is exact.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packs_epi32(t0, t1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_packs_epi32(t2, t3));
    }
    if (i < count)
        CorrectLevelsSse2(in + i, out + i, count - i,
                          {run.gain + i, run.offset + i, run.shutterOffset + i, run.scale + i});
}

}  // namespace calidra
