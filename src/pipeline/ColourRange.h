// The raw-level range that the pseudo-colour mapping spreads over the palette,
// and the countdown of its automatic following. The client's thread writes these
// while the acquisition thread reads and updates them.
#pragma once

#include <atomic>
#include <cstdint>

namespace calidra {

struct ColourRange {
    static constexpr std::int32_t kDefaultAutoRange = -1;
    static constexpr std::int32_t kDefaultHigh = 3000;
    static constexpr std::int32_t kDefaultLow = 1000;

    // Negative: the range follows every frame; c > 0: the next c frames; 0: it stays.
    std::atomic<std::int32_t> autoRange{kDefaultAutoRange};
    // Levels at or above are white.
    std::atomic<std::int32_t> rangeHigh{kDefaultHigh};
    // Levels at or below are black.
    std::atomic<std::int32_t> rangeLow{kDefaultLow};
};

}  // namespace calidra
