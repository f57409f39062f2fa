#include "platform/Event.h"

#include <chrono>

namespace calidra {

Event::Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard<std::mutex> guard(stateLock_);
        set_ = true;
    }
    if (manualReset_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> guard(stateLock_);
    set_ = false;
}

bool Event::Wait(std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> guard(stateLock_);
    if (timeoutMs == kInfinite)
        changed_.wait(guard, [this] { return set_; });
    else if (!changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return set_; }))
        return false;
    if (!manualReset_) set_ = false;
    return true;
}

bool Event::IsSet() {
    std::lock_guard<std::mutex> guard(stateLock_);
    return set_;
}

}  // namespace calidra
