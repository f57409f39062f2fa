// Temperatures as 16-bit whole numbers for pictures and the web viewer:
// hundredths of a kelvin, exact to 0.01 K over -273.15 to 382.20 degrees C.
#pragma once

#include <cstdint>

namespace calidra::tool {

class CentiKelvin {
public:
    // (C + 273.15) x 100 rounded, clamped to 0..65535; an unknown temperature
    // (not a number) is 0.
    static std::uint16_t FromCelsius(float celsius);
    // What a reader computes: C = value x kScale + kOffset.
    static constexpr double kScale = 0.01;
    static constexpr double kOffset = -273.15;
};

}  // namespace calidra::tool
