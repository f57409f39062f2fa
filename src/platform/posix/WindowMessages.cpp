#include "platform/WindowMessages.h"

#include "platform/MessageWindowTable.h"

namespace calidra {

bool WindowMessages::Post(HWND window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) {
    return MessageWindowTable::Instance().Post(window, message, wParam, lParam);
}

}  // namespace calidra
