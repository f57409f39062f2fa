// The queue of a message window; its signal and handle are the platform's
// (posix/MessageWindow.cpp, win32/MessageWindow.cpp).
#include "platform/MessageWindow.h"

#include <chrono>

namespace calidra {

bool MessageWindow::Post(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        if (closed_) return false;
        if (queue_.size() >= kMaxQueued) {
            ++dropped_;
            return false;
        }
        queue_.push_back(CALIDRA_MSG{self_, message, wParam, lParam});
        if (queue_.size() == 1) Signal(true);
    }
    arrived_.notify_one();
    return true;
}

std::uint64_t MessageWindow::Dropped() {
    std::lock_guard<std::mutex> guard(queueLock_);
    return dropped_;
}

int MessageWindow::Wait(CALIDRA_MSG* message, std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> guard(queueLock_);
    auto ready = [this] { return closed_ || !queue_.empty(); };
    if (!arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready)) return 0;
    if (closed_) return -1;
    *message = queue_.front();
    queue_.pop_front();
    if (queue_.empty()) Signal(false);
    return 1;
}

void MessageWindow::Close() {
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        if (closed_) return;
        closed_ = true;
        queue_.clear();
        Signal(false);
    }
    arrived_.notify_all();
    CloseNative();
}

}  // namespace calidra
