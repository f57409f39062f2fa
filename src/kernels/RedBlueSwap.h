// Lines of 24-bit pixels with the first and third byte of every pixel
// exchanged (blue, green, red become red, green, blue): the TIFF sample
// kernel's inner loop, with a vector version chosen at run time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calidra {

// from and to hold pixels x 3 bytes and do not overlap.
void SwapRedBlue(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels);
// The same with SSSE3 byte shuffles; only where the processor has them.
void SwapRedBlueSsse3(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels);
// Sixteen pixels at a time with AVX-512 byte permutations; only where the
// processor has them (RedBlueSwapAvx512Available).
void SwapRedBlueAvx512(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels);
bool RedBlueSwapAvx512Available();
// One pixel at a time.
void SwapRedBlueScalar(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels);

}  // namespace calidra
