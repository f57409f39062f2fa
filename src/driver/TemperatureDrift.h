// The simulated camera's internal temperature reading: it falls from a cold
// start towards a warm steady state as the camera warms up, unless fixed.
#pragma once

#include <cstdint>

namespace calidra::sim {

class TemperatureDrift {
public:
    // Readings fall as the temperature rises: about 23.6 degrees C at power-on,
    // settling near 38 degrees C.
    static constexpr int kColdReading = 2480;
    static constexpr int kWarmReading = 2380;
    static constexpr double kWarmUpSeconds = 900.0;

    // Back to a cold start, drifting.
    void Reset() { fixed_ = false; }
    // The 16-bit reading at the given time since power-on.
    std::uint16_t Reading(double seconds) const;
    void Fix(std::uint16_t reading) {
        fixed_ = true;
        fixedReading_ = reading;
    }
    bool IsFixed() const { return fixed_; }

private:
    bool fixed_ = false;
    std::uint16_t fixedReading_ = 0;
};

}  // namespace calidra::sim
