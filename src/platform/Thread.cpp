#include "platform/Thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>

namespace calidra {

namespace {

void RaiseOwnPriority() {
    // Lowering the nice value needs privileges; failing it is harmless.
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -2);
}

}  // namespace

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
