// One message window: a queue of messages and an eventfd that polls readable
// while the queue holds any.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "calidra_window.h"

namespace calidra {

class MessageWindow {
public:
    // As a Windows thread's queue does, a window holds at most this many unread
    // messages; a client that stops reading cannot make it grow without end.
    static constexpr std::size_t kMaxQueued = 10000;

    explicit MessageWindow(HWND self);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // false when the window is closed or its queue is full (counted in Dropped).
    bool Post(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);
    std::uint64_t Dropped();
    // 1 taken, 0 timed out, -1 closed meanwhile.
    int Wait(CALIDRA_MSG* message, std::uint32_t timeoutMs);
    void Close();

private:
    HWND self_;
    int fd_;
    std::mutex
        queueLock_;  // guards queue_, dropped_ and closed_, and keeps the eventfd count equal to the queue length
    std::condition_variable arrived_;
    std::deque<CALIDRA_MSG> queue_;
    std::uint64_t dropped_ = 0;
    bool closed_ = false;
};

}  // namespace calidra
