#include "api/InstanceRegistry.h"

#include <cstdlib>

#include "platform/Clock.h"

namespace calidra {

InstanceRegistry& InstanceRegistry::Global() {
    static InstanceRegistry registry;
    return registry;
}

InstanceRegistry::~InstanceRegistry() {
    // The library is being unloaded (or the process ends) with instances the
    // client never released. They are not destroyed, but their acquisition
    // threads must not run on into code that is about to go away.
    std::lock_guard<std::mutex> guard(chainLock_);
    if (chain_.head == nullptr) return;
    CSDKDATA* node = chain_.head;
    do {
        if (node->instance != nullptr) node->instance->Close();
        node = node->next;
    } while (node != chain_.head);
}

std::uint32_t InstanceRegistry::DrawHandle() {
    // The handle is the tick count plus rand() plus the number registered; a sum
    // that comes out 0 or equal to a live handle is drawn again.
    for (;;) {
        std::uint32_t handle =
            Clock::TickCount() + static_cast<std::uint32_t>(std::rand()) + static_cast<std::uint32_t>(chain_.count);
        if (handle != 0 && !chain_.Find(handle)) return handle;
    }
}

std::uint32_t InstanceRegistry::Register(std::unique_ptr<CCalidra> instance) {
    if (instance == nullptr) return 0;
    std::lock_guard<std::mutex> guard(chainLock_);
    std::uint32_t handle = DrawHandle();
    chain_.Add(CSDKDATA{handle, instance.release(), nullptr, nullptr});
    return handle;
}

CCalidra* InstanceRegistry::Acquire(unsigned long handle) {
    if (handle > 0xFFFFFFFFul) return nullptr;
    std::lock_guard<std::mutex> guard(chainLock_);
    CSDKDATA* node = chain_.Lookup(static_cast<std::uint32_t>(handle));
    if (node == nullptr || node->instance == nullptr) return nullptr;
    ++callsInProgress_[node->instance];
    return node->instance;
}

void InstanceRegistry::Unlock(CCalidra* instance) {
    std::lock_guard<std::mutex> guard(chainLock_);
    auto found = callsInProgress_.find(instance);
    if (found != callsInProgress_.end() && --found->second == 0) {
        callsInProgress_.erase(found);
        callEnded_.notify_all();
    }
}

int InstanceRegistry::Release(unsigned long handle) {
    if (handle > 0xFFFFFFFFul) return 0;
    std::unique_ptr<CCalidra> instance;
    {
        std::unique_lock<std::mutex> guard(chainLock_);
        CSDKDATA* node = chain_.Lookup(static_cast<std::uint32_t>(handle));
        if (node == nullptr) return 0;
        instance.reset(node->instance);
        node->instance = nullptr;
        chain_.RemoveHead();
        callEnded_.wait(guard, [&] { return callsInProgress_.find(instance.get()) == callsInProgress_.end(); });
    }
    // Destroying stops acquisition and joins the thread; the registry is free meanwhile.
    instance.reset();
    return 1;
}

std::int32_t InstanceRegistry::Count() {
    std::lock_guard<std::mutex> guard(chainLock_);
    return chain_.count;
}

}  // namespace calidra
