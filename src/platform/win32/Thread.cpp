#include "platform/Thread.h"

#include <windows.h>

namespace calidra {

void Thread::RaiseOwnPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

}  // namespace calidra
