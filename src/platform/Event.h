// A waitable event with manual or automatic reset.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace calidra {

class Event {
public:
    static constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

    // manualReset: stays signalled until Reset; otherwise one waiter takes the signal.
    Event(bool manualReset, bool initiallySet);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // true when signalled within timeoutMs (kInfinite waits for ever).
    bool Wait(std::uint32_t timeoutMs);
    bool IsSet();

private:
    std::mutex stateLock_;
    std::condition_variable changed_;
    bool manualReset_;
    bool set_;
};

}  // namespace calidra
