// The library's one registry of instances, safe to call from several client
// threads: a lock guards the chain (even a lookup moves its head), and an
// instance in use by a call is destroyed only after that call has returned.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "api/CSdkChain.h"
#include "instance/CCalidra.h"

namespace calidra {

class InstanceRegistry {
public:
    static InstanceRegistry& Global();
    ~InstanceRegistry();

    // Registers a started instance under a new handle; 0 on failure.
    std::uint32_t Register(std::unique_ptr<CCalidra> instance);
    // Destroys the instance and removes its node: 1, or 0 for an unknown handle.
    int Release(unsigned long handle);

    // Runs call(instance) while the instance cannot be destroyed; failure for an
    // unknown handle.
    template <typename Result, typename Call>
    Result With(unsigned long handle, Result failure, Call&& call) {
        CCalidra* instance = Acquire(handle);
        if (instance == nullptr) return failure;
        struct Done {
            InstanceRegistry* registry;
            CCalidra* instance;
            ~Done() { registry->Unlock(instance); }
        } done{this, instance};
        return call(*instance);
    }

    // For tests: the chain's shape.
    std::int32_t Count();

private:
    InstanceRegistry() = default;
    CCalidra* Acquire(unsigned long handle);
    void Unlock(CCalidra* instance);
    std::uint32_t DrawHandle();

    std::mutex chainLock_;  // guards chain_ and callsInProgress_
    std::condition_variable callEnded_;
    CSdkChain chain_;
    std::unordered_map<const CCalidra*, int> callsInProgress_;
};

}  // namespace calidra
