// A message window on Windows: a real message-only window, so that any thread
// may PostMessageW to it. The window belongs to a thread of its own, which
// takes what is posted to it and queues it for CalidraWindow_WaitMessage; the
// signal is a manual-reset event.
#include "platform/MessageWindow.h"

#include <windows.h>

#include <future>
#include <thread>

namespace calidra {

struct MessageWindow::Native {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD threadId = 0;
    std::thread pump;
};

MessageWindow::MessageWindow() : native_(std::make_unique<Native>()) {
    if (native_->ready == nullptr) return;
    // The promise belongs to the thread: it may still be inside set_value when
    // this constructor, woken by it, has returned.
    std::promise<HWND> made;
    std::future<HWND> window = made.get_future();
    native_->pump = std::thread([this, made = std::move(made)]() mutable {
        HWND self = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        native_->threadId = GetCurrentThreadId();
        made.set_value(self);
        if (self == nullptr) return;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            // What the library and clients post (WM_USER and above) is queued;
            // the system's own messages go to the window procedure.
            if (msg.hwnd == self && msg.message >= WM_USER)
                Post(msg.message, msg.wParam, msg.lParam);
            else
                DispatchMessageW(&msg);
        }
        DestroyWindow(self);
    });
    self_ = window.get();
    if (self_ == nullptr) native_->pump.join();
}

MessageWindow::~MessageWindow() {
    CloseNative();
    if (native_->ready != nullptr) CloseHandle(native_->ready);
}

int MessageWindow::Fd() const {
    // Windows keeps handle values within 32 bits, so the event fits an int.
    return native_->ready == nullptr ? -1 : static_cast<int>(reinterpret_cast<std::intptr_t>(native_->ready));
}

void MessageWindow::Signal(bool ready) {
    if (ready)
        SetEvent(native_->ready);
    else
        ResetEvent(native_->ready);
}

void MessageWindow::CloseNative() {
    // The window is destroyed by its own thread, after which posts to it fail.
    if (!native_->pump.joinable()) return;
    PostThreadMessageW(native_->threadId, WM_QUIT, 0, 0);
    native_->pump.join();
}

}  // namespace calidra
