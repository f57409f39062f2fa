// Messages to the client's window (WM_CAMERA_FRAME, WM_CAMERA_ERROR): only
// queued, the client takes them later in its own thread.
#pragma once

#include <cstdint>

#include "calidra_window.h"

namespace calidra {

class WindowMessages {
public:
    // The library's message windows (calidra_window.h) queue it at once; on
    // Windows any other window gets it through PostMessageW. false when the
    // window takes no messages.
    static bool Post(HWND window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);
};

}  // namespace calidra
