#include "CentiKelvin.h"

#include <cmath>

namespace calidra::tool {

std::uint16_t CentiKelvin::FromCelsius(float celsius) {
    const double value = std::round((double(celsius) + 273.15) * 100.0);
    if (value >= 65535.0) return 65535;
    // Not-a-number fails this comparison as well and becomes 0.
    if (value > 0.0) return static_cast<std::uint16_t>(value);
    return 0;
}

}  // namespace calidra::tool
