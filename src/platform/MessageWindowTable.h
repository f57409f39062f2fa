// The message windows of a platform without a window system: small thread-safe
// queues named by ids. An HWND is an id looked up in the table, never a
// pointer, so a post to a destroyed or made-up window fails harmlessly.
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
    // Only queues the message; the client takes it in its own thread. false when
    // window is not a live window.
    bool Post(HWND window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam);
    // 1 message taken, 0 none in time, -1 not a window.
    int Wait(HWND window, CALIDRA_MSG* message, std::uint32_t timeoutMs);
    int Fd(HWND window);
    // Posts refused because the queue was full; -1 when window is not a window.
    long long Dropped(HWND window);

private:
    MessageWindowTable() = default;
    std::shared_ptr<MessageWindow> Find(HWND window);

    std::mutex tableLock_;  // guards windows_ and nextId_
    std::unordered_map<std::uintptr_t, std::shared_ptr<MessageWindow>> windows_;
    std::uintptr_t nextId_ = 0x10000;
};

}  // namespace calidra
