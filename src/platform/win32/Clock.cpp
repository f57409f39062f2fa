#include "platform/Clock.h"

#include <windows.h>

#include <mmsystem.h>

namespace calidra {

std::uint32_t Clock::TickCount() { return GetTickCount(); }

std::uint32_t Clock::TimeMs() { return timeGetTime(); }

std::uint64_t Clock::ThreadCpuNanoseconds() {
    FILETIME created, ended, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0;
    auto ticks = [](const FILETIME& time) {
        return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) * 100u;  // FILETIME counts 100 ns
}

void Clock::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace calidra
