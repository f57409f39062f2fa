#include "platform/MessageWindow.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>

namespace calidra {

MessageWindow::MessageWindow(HWND self) : self_(self), fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE)) {}

MessageWindow::~MessageWindow() {
    if (fd_ >= 0) close(fd_);
}

bool MessageWindow::Post(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) {
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        if (closed_) return false;
        if (queue_.size() >= kMaxQueued) {
            ++dropped_;
            return false;
        }
        queue_.push_back(CALIDRA_MSG{self_, message, wParam, lParam});
        std::uint64_t one = 1;
        (void)!write(fd_, &one, sizeof one);
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
    std::uint64_t one = 0;
    (void)!read(fd_, &one, sizeof one);
    return 1;
}

void MessageWindow::Close() {
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        closed_ = true;
        queue_.clear();
    }
    arrived_.notify_all();
}

}  // namespace calidra
