#include "FrameHub.h"

namespace calidra::tool {

namespace {

constexpr std::chrono::milliseconds kGoneCheck(100);

}  // namespace

FrameHub::Ticket::~Ticket() {
    if (hub_ == nullptr) return;
    std::lock_guard<std::mutex> guard(hub_->lock_);
    --hub_->longRequests_;
}

FrameHub::FrameHub(int maxLongRequests) : maxLongRequests_(maxLongRequests) {}

void FrameHub::Publish(unsigned long id) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        newest_.id = id;
        ++newest_.count;
        streamEnded_ = false;
    }
    changed_.notify_all();
}

void FrameHub::StreamEnded() {
    std::lock_guard<std::mutex> guard(lock_);
    streamEnded_ = true;
}

void FrameHub::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopped_ = true;
    }
    changed_.notify_all();
}

FrameHub::Newest FrameHub::Current() const {
    std::lock_guard<std::mutex> guard(lock_);
    return newest_;
}

bool FrameHub::Stopped() const {
    std::lock_guard<std::mutex> guard(lock_);
    return stopped_;
}

bool FrameHub::Streaming() const {
    std::lock_guard<std::mutex> guard(lock_);
    return !streamEnded_;
}

FrameHub::Newest FrameHub::WaitNewer(unsigned long after, std::chrono::milliseconds timeout,
                                     const std::function<bool()>& gone) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> guard(lock_);
    auto arrived = [&] { return stopped_ || (newest_.id != 0 && newest_.id != after); };
    while (!arrived()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        changed_.wait_until(guard, std::min(deadline, now + kGoneCheck), arrived);
        if (arrived() || !gone) continue;
        // The socket check must not hold up Publish.
        guard.unlock();
        const bool left = gone();
        guard.lock();
        if (left) break;
    }
    return newest_;
}

bool FrameHub::WaitCount(std::uint64_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, timeout, [&] { return stopped_ || newest_.count >= count; });
    return !stopped_ && newest_.count >= count;
}

FrameHub::Ticket FrameHub::Admit() {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopped_ || longRequests_ >= maxLongRequests_) return Ticket();
    ++longRequests_;
    return Ticket(this);
}

int FrameHub::LongRequests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return longRequests_;
}

}  // namespace calidra::tool
