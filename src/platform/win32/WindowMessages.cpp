#include "platform/WindowMessages.h"

#include <windows.h>

#include "platform/MessageWindowTable.h"

namespace calidra {

bool WindowMessages::Post(HWND window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) {
    // The library's own windows take the message into their queue at once, as
    // on every platform: a client that reads its window right after a call
    // sees what the call posted. Any other window gets it from PostMessageW.
    MessageWindowTable& table = MessageWindowTable::Instance();
    if (table.Has(window)) return table.Post(window, message, wParam, lParam);
    return PostMessageW(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != 0;
}

}  // namespace calidra
