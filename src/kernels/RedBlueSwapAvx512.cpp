// The red-blue exchange sixty-four bytes at a time, with AVX-512's byte
// permutation. Only this file is built for AVX-512, and it defines no inline
// function another file could share.
#include <immintrin.h>

#include <array>

#include "kernels/RedBlueSwap.h"

namespace calidra {

namespace {

// Byte b of a step's result: the first 48 bytes from their pixel's opposite
// end, the rest from where they are.
alignas(64) constexpr std::array<std::uint8_t, 64> kOrder = [] {
    std::array<std::uint8_t, 64> order{};
    for (int b = 0; b < 64; ++b) order[b] = static_cast<std::uint8_t>(b < 48 ? b - b % 3 + 2 - b % 3 : b);
    return order;
}();

}  // namespace

void SwapRedBlueAvx512(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels) {
    // Sixteen pixels per step: the first 48 bytes exchanged, the last 16 passed
    // through and overwritten by the next step.
    const __m512i permutation = _mm512_load_si512(kOrder.data());
    std::size_t j = 0;
    // Sixty-four bytes read and written from pixel j stay inside the line while
    // j + 22 <= pixels.
    for (; j + 22 <= pixels; j += 16) {
        const __m512i bytes = _mm512_loadu_si512(from + 3 * j);
        _mm512_storeu_si512(to + 3 * j, _mm512_permutexvar_epi8(permutation, bytes));
    }
    SwapRedBlueSsse3(from + 3 * j, to + 3 * j, pixels - j);
}

}  // namespace calidra
