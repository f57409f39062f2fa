// Scratch buffers kept for reuse, one for each caller working at the same
// time: what a thread_local buffer gives, without counting on destructors that
// run when a thread ends. MinGW-w64's runtime does not run those reliably (a
// thread's buffer outlived it, so every capture thread leaked a frame).
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace calidra {

template <typename T>
class ScratchPool {
public:
    // A buffer taken from the pool, given back when the lease ends. It holds
    // what its last user left in it.
    class Lease {
    public:
        Lease(ScratchPool& pool, std::unique_ptr<std::vector<T>> buffer) : pool_(&pool), buffer_(std::move(buffer)) {}
        ~Lease() {
            if (buffer_ != nullptr) pool_->GiveBack(std::move(buffer_));
        }
        Lease(Lease&& other) noexcept = default;
        Lease& operator=(Lease&&) = delete;
        std::vector<T>& operator*() { return *buffer_; }
        std::vector<T>* operator->() { return buffer_.get(); }

    private:
        ScratchPool* pool_;
        std::unique_ptr<std::vector<T>> buffer_;
    };

    // Throws std::bad_alloc when a new buffer is needed and cannot be made.
    Lease Take() {
        std::unique_ptr<std::vector<T>> buffer;
        {
            std::lock_guard<std::mutex> guard(spareLock_);
            if (!spare_.empty()) {
                buffer = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        if (buffer == nullptr) buffer = std::make_unique<std::vector<T>>();
        return Lease(*this, std::move(buffer));
    }

private:
    void GiveBack(std::unique_ptr<std::vector<T>> buffer) noexcept {
        std::lock_guard<std::mutex> guard(spareLock_);
        try {
            spare_.push_back(std::move(buffer));
        } catch (...) {
            // No room to keep it: the buffer is freed instead.
        }
    }

    std::mutex spareLock_;  // guards spare_
    std::vector<std::unique_ptr<std::vector<T>>> spare_;
};

}  // namespace calidra
