#include "platform/Clock.h"

#include <time.h>

namespace calidra {

namespace {

std::uint32_t Milliseconds(clockid_t id) {
    timespec now{};
    clock_gettime(id, &now);
    std::uint64_t ms =
        static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

}  // namespace

std::uint32_t Clock::TickCount() { return Milliseconds(CLOCK_BOOTTIME); }

std::uint32_t Clock::TimeMs() { return Milliseconds(CLOCK_MONOTONIC); }

std::uint64_t Clock::ThreadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}

void Clock::Sleep(std::uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0) {
    }
}

}  // namespace calidra
