// A joinable thread with an optional best-effort priority raise.
#pragma once

#include <functional>
#include <thread>

namespace calidra {

class Thread {
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body in a new thread; false when the thread cannot be created or one
    // is still attached. highPriority asks for the highest normal priority, which
    // an unprivileged process may not get: the thread then runs at its default.
    bool Start(std::function<void()> body, bool highPriority = false);
    // Waits for the thread to end; nothing when none was started.
    void Join();
    bool Joinable() const { return thread_.joinable(); }
    // true when called from this thread itself.
    bool IsCurrent() const;

private:
    // The highest normal priority for the calling thread, where the process may
    // have it.
    static void RaiseOwnPriority();

    std::thread thread_;
};

}  // namespace calidra
