#include "driver/TemperatureDrift.h"

#include <cmath>

namespace calidra::sim {

std::uint16_t TemperatureDrift::Reading(double seconds) const {
    if (fixed_) return fixedReading_;
    double t = seconds < 0.0 ? 0.0 : seconds;
    double reading = kWarmReading + (kColdReading - kWarmReading) * std::exp(-t / kWarmUpSeconds);
    return static_cast<std::uint16_t>(std::lround(reading));
}

}  // namespace calidra::sim
