// The message-window functions of calidra_window.h.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "calidra_window.h"
#include "platform/CBoundary.h"
#include "platform/MessageWindowTable.h"

using calidra::CatchAll;
using calidra::MessageWindowTable;

extern "C" {

CALIDRA_WINDOW_API HWND CalidraWindow_Create(void) {
    return CatchAll<HWND>(nullptr, [] { return MessageWindowTable::Instance().Create(); });
}

CALIDRA_WINDOW_API int CalidraWindow_Destroy(HWND window) {
    return CatchAll(0, [&] { return MessageWindowTable::Instance().Destroy(window) ? 1 : 0; });
}

CALIDRA_WINDOW_API int CalidraWindow_WaitMessage(HWND window, CALIDRA_MSG* msg, unsigned long timeoutMs) {
    // Waits beyond 24 days are as good as for ever.
    auto timeout = static_cast<std::uint32_t>(std::min<unsigned long>(timeoutMs, 0x7FFFFFFFul));
    return CatchAll(-1, [&] { return MessageWindowTable::Instance().Wait(window, msg, timeout); });
}

CALIDRA_WINDOW_API int CalidraWindow_Fd(HWND window) {
    return CatchAll(-1, [&] { return MessageWindowTable::Instance().Fd(window); });
}

CALIDRA_WINDOW_API long CalidraWindow_Dropped(HWND window) {
    long long dropped = CatchAll(-1LL, [&] { return MessageWindowTable::Instance().Dropped(window); });
    return static_cast<long>(std::min<long long>(dropped, std::numeric_limits<long>::max()));
}

}  // extern "C"
