#include "platform/MessageWindowTable.h"

#include "platform/MessageWindow.h"

namespace calidra {

MessageWindowTable& MessageWindowTable::Instance() {
    // Never destroyed: a client thread may still post or wait while the process exits.
    static MessageWindowTable* table = new MessageWindowTable();
    return *table;
}

HWND MessageWindowTable::Create() {
    auto window = std::make_shared<MessageWindow>();
    HWND handle = window->Handle();
    if (handle == nullptr) return nullptr;
    std::lock_guard<std::mutex> guard(tableLock_);
    windows_.emplace(reinterpret_cast<std::uintptr_t>(handle), std::move(window));
    return handle;
}

std::shared_ptr<MessageWindow> MessageWindowTable::Find(HWND window) {
    std::lock_guard<std::mutex> guard(tableLock_);
    auto found = windows_.find(reinterpret_cast<std::uintptr_t>(window));
    if (found == windows_.end()) return nullptr;
    return found->second;
}

bool MessageWindowTable::Destroy(HWND window) {
    std::shared_ptr<MessageWindow> removed;
    {
        std::lock_guard<std::mutex> guard(tableLock_);
        auto found = windows_.find(reinterpret_cast<std::uintptr_t>(window));
        if (found == windows_.end()) return false;
        removed = std::move(found->second);
        windows_.erase(found);
    }
    removed->Close();
    return true;
}

bool MessageWindowTable::Has(HWND window) { return Find(window) != nullptr; }

bool MessageWindowTable::Post(HWND window, unsigned int message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::shared_ptr<MessageWindow> target = Find(window);
    return target != nullptr && target->Post(message, wParam, lParam);
}

int MessageWindowTable::Wait(HWND window, CALIDRA_MSG* message, std::uint32_t timeoutMs) {
    std::shared_ptr<MessageWindow> target = Find(window);
    if (target == nullptr || message == nullptr) return -1;
    return target->Wait(message, timeoutMs);
}

int MessageWindowTable::Fd(HWND window) {
    std::shared_ptr<MessageWindow> target = Find(window);
    return target == nullptr ? -1 : target->Fd();
}

long long MessageWindowTable::Dropped(HWND window) {
    std::shared_ptr<MessageWindow> target = Find(window);
    return target == nullptr ? -1 : static_cast<long long>(target->Dropped());
}

}  // namespace calidra
