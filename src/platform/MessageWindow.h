// One message window: a queue of messages and an eventfd that polls readable
// while the queue holds any.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "calidra_window.h"

namespace calidra {

class MessageWindow {
public:
    explicit MessageWindow(HWND self);
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    bool Post(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);
    // 1 taken, 0 timed out, -1 closed meanwhile.
    int Wait(CALIDRA_MSG* message, std::uint32_t timeoutMs);
    void Close();

private:
    HWND self_;
    int fd_;
    std::mutex queueLock_;  // guards queue_ and closed_, and keeps the eventfd count equal to the queue length
    std::condition_variable arrived_;
    std::deque<CALIDRA_MSG> queue_;
    bool closed_ = false;
};

}  // namespace calidra
