// A camera previewing into an instance and a message window of its own, both
// closed with it, for the benchmarks that watch live frames. Automatic
// calibration is off: its hold-off would drop frames on purpose.
#pragma once

#include "calidra.h"
#include "calidra_window.h"

namespace calidra {

class PreviewSession {
public:
    explicit PreviewSession(int camera) {
        window_ = CalidraWindow_Create();
        handle_ = Calidra_Initialize(window_);
        Calidra_SetParam(handle_, CALIDRA_PARAM_AUTO_NUC, 0);
        ok_ = handle_ != 0 && Calidra_SetCameraNumber(handle_, camera) == 1 && Calidra_Preview(handle_) == 1;
    }
    ~PreviewSession() {
        if (handle_ != 0) {
            Calidra_Close(handle_);
            Calidra_Release(handle_);
        }
        if (window_ != nullptr) CalidraWindow_Destroy(window_);
    }
    PreviewSession(const PreviewSession&) = delete;
    PreviewSession& operator=(const PreviewSession&) = delete;

    bool Ok() const { return ok_; }
    HWND Window() const { return window_; }
    unsigned long Handle() const { return handle_; }

private:
    HWND window_ = nullptr;
    unsigned long handle_ = 0;
    bool ok_ = false;
};

}  // namespace calidra
