// The correction two doubles at a time with the instructions every x86-64
// processor has.
#include <emmintrin.h>

#include "device/PixelCorrection.h"

namespace calidra {

namespace {

// The formula and its clamps on two pixels. Operand order matters: minpd gives
// its second operand when either is NaN, so a NaN passes the upper clamp and the
// lower clamp turns it into 0, as the scalar comparisons do.
inline __m128d CorrectTwo(__m128d raw, const CorrectionRun& run, std::size_t i) {
    __m128d v = _mm_mul_pd(raw, _mm_loadu_pd(run.gain + i));
    v = _mm_add_pd(v, _mm_loadu_pd(run.offset + i));
    v = _mm_add_pd(v, _mm_loadu_pd(run.shutterOffset + i));
    v = _mm_mul_pd(v, _mm_loadu_pd(run.scale + i));
    v = _mm_min_pd(_mm_set1_pd(16383.0), v);
    return _mm_max_pd(v, _mm_setzero_pd());
}

}  // namespace

void CorrectLevelsSse2(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const CorrectionRun& run) {
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i levels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i low = _mm_unpacklo_epi16(levels, zero);
        const __m128i high = _mm_unpackhi_epi16(levels, zero);
        const __m128i t0 = _mm_cvttpd_epi32(CorrectTwo(_mm_cvtepi32_pd(low), run, i));
        const __m128i t1 = _mm_cvttpd_epi32(CorrectTwo(_mm_cvtepi32_pd(_mm_srli_si128(low, 8)), run, i + 2));
        const __m128i t2 = _mm_cvttpd_epi32(CorrectTwo(_mm_cvtepi32_pd(high), run, i + 4));
        const __m128i t3 = _mm_cvttpd_epi32(CorrectTwo(_mm_cvtepi32_pd(_mm_srli_si128(high, 8)), run, i + 6));
        // Every result lies in 0..16383, so the signed saturating pack is exact.
        const __m128i packed = _mm_packs_epi32(_mm_unpacklo_epi64(t0, t1), _mm_unpacklo_epi64(t2, t3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
    if (i < count)
        CorrectLevelsScalar(in + i, out + i, count - i,
                            {run.gain + i, run.offset + i, run.shutterOffset + i, run.scale + i});
}

}  // namespace calidra
