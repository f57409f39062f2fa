// The library's message windows: small thread-safe queues found by their HWND,
// which is looked up in the table, never followed as a pointer, so a post to a
// destroyed or made-up window fails harmlessly. Where the platform has no
// window system the HWND is an id of the library's own; on Windows it is a
// real message-only window.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "calidra_window.h"

namespace calidra {

class MessageWindow;

class MessageWindowTable {
public:
    static MessageWindowTable& Instance();

    HWND Create();
    bool Destroy(HWND window);
    // true when window is a live window of the table.
    bool Has(HWND window);
    // Queues the message on one of the table's windows; the client takes it in
    // its own thread. false when window is not a live window of the table.
    bool Post(HWND window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);
    // 1 message taken, 0 none in time, -1 not a window.
    int Wait(HWND window, CALIDRA_MSG* message, std::uint32_t timeoutMs);
    int Fd(HWND window);
    // Posts refused because the queue was full; -1 when window is not a window.
    long long Dropped(HWND window);

private:
    MessageWindowTable() = default;
    std::shared_ptr<MessageWindow> Find(HWND window);

    std::mutex tableLock_;  // guards windows_
    std::unordered_map<std::uintptr_t, std::shared_ptr<MessageWindow>> windows_;
};

}  // namespace calidra
