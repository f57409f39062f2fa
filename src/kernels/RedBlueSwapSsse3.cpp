// The red-blue exchange sixteen bytes at a time. Only this file is built for
// SSSE3, and it defines no inline function another file could share.
#include <tmmintrin.h>

#include "kernels/RedBlueSwap.h"

namespace calidra {

void SwapRedBlueSsse3(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels) {
    // Four pixels per step: the first twelve bytes exchanged, the last four
    // passed through and overwritten by the next step.
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
    std::size_t j = 0;
    // Sixteen bytes read and written from pixel j stay inside the line while
    // j + 6 <= pixels.
    for (; j + 6 <= pixels; j += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * j));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 3 * j), _mm_shuffle_epi8(bytes, order));
    }
    SwapRedBlueScalar(from + 3 * j, to + 3 * j, pixels - j);
}

}  // namespace calidra
