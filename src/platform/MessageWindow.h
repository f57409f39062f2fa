// One message window: a queue of messages and a signal that is set while the
// queue holds any (an eventfd on POSIX, an event on Windows). On Windows the
// window is also a real message-only window: a thread of its own takes what
// PostMessageW sends it and queues it here.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "calidra_window.h"

namespace calidra {

class MessageWindow {
public:
    // As a Windows thread's queue does, a window holds at most this many unread
    // messages; a client that stops reading cannot make it grow without end.
    static constexpr std::size_t kMaxQueued = 10000;

    MessageWindow();
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // null when the platform could not make the window.
    HWND Handle() const { return self_; }
    // The eventfd (POSIX) or event handle (Windows) that is signalled while the
    // queue is not empty.
    int Fd() const;
    // false when the window is closed or its queue is full (counted in Dropped).
    bool Post(unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);
    std::uint64_t Dropped();
    // 1 taken, 0 timed out, -1 closed meanwhile.
    int Wait(CALIDRA_MSG* message, std::uint32_t timeoutMs);
    // Empties the queue and refuses every later post; on Windows the system's
    // window is destroyed too.
    void Close();

private:
    // The platform's part: the signal, and on Windows the window and its thread.
    struct Native;
    void Signal(bool ready);
    void CloseNative();

    std::unique_ptr<Native> native_;
    HWND self_ = nullptr;
    std::mutex queueLock_;  // guards queue_, dropped_ and closed_, and keeps the signal set while queue_ is not empty
    std::condition_variable arrived_;
    std::deque<CALIDRA_MSG> queue_;
    std::uint64_t dropped_ = 0;
    bool closed_ = false;
};

}  // namespace calidra
