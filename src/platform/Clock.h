// The two millisecond clocks and the sleep of the platform.
#pragma once

#include <cstdint>

namespace calidra {

class Clock {
public:
    // Milliseconds since boot, 32 bits, wrapping after 49.7 days (the handle clock).
    static std::uint32_t TickCount();
    // Milliseconds since boot, 32 bits, wrapping; the timer for frame ids, rates and
    // calibration timing.
    static std::uint32_t TimeMs();
    static void Sleep(std::uint32_t milliseconds);
    // Processor time the calling thread has used, in nanoseconds.
    static std::uint64_t ThreadCpuNanoseconds();
};

}  // namespace calidra
