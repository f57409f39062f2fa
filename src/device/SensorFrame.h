// The sensor frame every correction works on: 640 x 480 levels, line 0 first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calidra {

inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;
inline constexpr std::size_t kFramePixels = static_cast<std::size_t>(kFrameWidth) * kFrameHeight;
// Corrected levels never leave 0 to kMaxLevel (14 bits).
inline constexpr std::uint16_t kMaxLevel = 16383;

}  // namespace calidra
