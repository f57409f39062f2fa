// The message-window functions of calidra_window.h.
#include <algorithm>
#include <cstdint>

#include "calidra_window.h"
#include "platform/MessageWindowTable.h"

using calidra::MessageWindowTable;

extern "C" {

CALIDRA_WINDOW_API HWND CalidraWindow_Create(void) { return MessageWindowTable::Instance().Create(); }

CALIDRA_WINDOW_API int CalidraWindow_Destroy(HWND window) {
    return MessageWindowTable::Instance().Destroy(window) ? 1 : 0;
}

CALIDRA_WINDOW_API int CalidraWindow_WaitMessage(HWND window, CALIDRA_MSG* msg, unsigned long timeoutMs) {
    // Waits beyond 24 days are as good as for ever.
    auto timeout = static_cast<std::uint32_t>(std::min<unsigned long>(timeoutMs, 0x7FFFFFFFul));
    return MessageWindowTable::Instance().Wait(window, msg, timeout);
}

CALIDRA_WINDOW_API int CalidraWindow_Fd(HWND window) { return MessageWindowTable::Instance().Fd(window); }

}  // extern "C"
