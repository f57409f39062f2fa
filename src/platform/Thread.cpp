// The thread itself; raising its priority is the platform's
// (posix/Thread.cpp, win32/Thread.cpp).
#include "platform/Thread.h"

#include <system_error>

namespace calidra {

Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body, bool highPriority) {
    if (thread_.joinable()) return false;
    try {
        thread_ = std::thread([body = std::move(body), highPriority] {
            if (highPriority) RaiseOwnPriority();
            body();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Thread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool Thread::IsCurrent() const { return thread_.get_id() == std::this_thread::get_id(); }

}  // namespace calidra
