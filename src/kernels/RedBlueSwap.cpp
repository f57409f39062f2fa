#include "kernels/RedBlueSwap.h"

namespace calidra {

namespace {

using Swap = void (*)(const std::uint8_t*, std::uint8_t*, std::size_t);

// Chosen once: the processor does not change under a running library.
Swap ActiveSwap() {
    static const Swap swap = [] {
        if (RedBlueSwapAvx512Available()) return SwapRedBlueAvx512;
        return __builtin_cpu_supports("ssse3") ? SwapRedBlueSsse3 : SwapRedBlueScalar;
    }();
    return swap;
}

}  // namespace

bool RedBlueSwapAvx512Available() {
    // Also false where the operating system does not save the wide registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

void SwapRedBlueScalar(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels) {
    for (std::size_t j = 0; j < pixels; ++j, to += 3, from += 3) {
        to[0] = from[2];
        to[1] = from[1];
        to[2] = from[0];
    }
}

void SwapRedBlue(const std::uint8_t* from, std::uint8_t* to, std::size_t pixels) { ActiveSwap()(from, to, pixels); }

}  // namespace calidra
