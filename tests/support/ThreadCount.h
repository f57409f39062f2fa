// Thread counts of this process, for tests that check a call leaves no thread
// behind or starts none.
#pragma once

#if defined(_WIN32)
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

namespace calidra::test {

// Tasks of this process, the main thread included.
inline int ThreadsOfThisProcess() {
    // A sanitizer starts a helper thread of its own with the first thread the
    // program creates; one thread started and joined first keeps it out of the
    // counts compared.
    static const bool warmedUp = [] {
#if defined(_WIN32)
        std::thread([] {}).join();
        // GoogleTest on Windows starts a watcher thread the first time a
        // thread uses its per-thread state (a failure, a trace) and keeps it
        // while that thread lives: have it start for this thread now.
        { SCOPED_TRACE("counting threads"); }
#else
        // Joined, the thread may stay listed for a moment (long on a busy
        // machine), and a count taken meanwhile would be one too high.
        pid_t warmUp = 0;
        std::thread([&warmUp] { warmUp = gettid(); }).join();
        const std::filesystem::path task = std::filesystem::path("/proc/self/task") / std::to_string(warmUp);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::error_code error;
        while (std::filesystem::exists(task, error) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
#endif
        return true;
    }();
    (void)warmedUp;
    int count = 0;
#if defined(_WIN32)
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
#else
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
         it.increment(error))
        ++count;
#endif
    return count;
}

// A joined thread may stay listed for a moment while the kernel takes it down:
// waits (with a hang guard) until no more than `expected` remain.
inline int ThreadsSettledTo(int expected) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int now = ThreadsOfThisProcess();
    while (now > expected && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        now = ThreadsOfThisProcess();
    }
    return now;
}

}  // namespace calidra::test
