// A message window of a platform without a window system: its handle is an id
// of the library's own, its signal an eventfd.
#include "platform/MessageWindow.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>

namespace calidra {

namespace {

// Ids are never reused, so a stale handle names no window rather than another one.
std::uintptr_t NextId() {
    static std::atomic<std::uintptr_t> next{0x10000};
    return next.fetch_add(0x10);
}

}  // namespace

struct MessageWindow::Native {
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

MessageWindow::MessageWindow() : native_(std::make_unique<Native>()) {
    if (native_->fd >= 0) self_ = reinterpret_cast<HWND>(NextId());
}

MessageWindow::~MessageWindow() {
    if (native_->fd >= 0) close(native_->fd);
}

int MessageWindow::Fd() const { return native_->fd; }

void MessageWindow::Signal(bool ready) {
    // The counter is non-zero, and the descriptor readable, while ready.
    std::uint64_t count = 1;
    if (ready)
        (void)!write(native_->fd, &count, sizeof count);
    else
        (void)!read(native_->fd, &count, sizeof count);
}

void MessageWindow::CloseNative() {}

}  // namespace calidra
