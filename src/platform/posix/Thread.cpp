#include "platform/Thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace calidra {

void Thread::RaiseOwnPriority() {
    // Lowering the nice value needs privileges; failing it is harmless.
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -2);
}

}  // namespace calidra
