// The newest frame the library announced, and the long requests (frame
// polls, MJPEG streams) that wait for the next one. Each long request holds a
// server thread, so only a few are let in at a time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace calidra::tool {

class FrameHub {
public:
    struct Newest {
        unsigned long id = 0;     // the library's frame id; 0 before the first frame
        std::uint64_t count = 0;  // frames announced so far
    };

    // A place among the long requests, given back when it is destroyed.
    class Ticket {
    public:
        Ticket() = default;
        explicit Ticket(FrameHub* hub) : hub_(hub) {}
        Ticket(Ticket&& other) noexcept : hub_(other.hub_) { other.hub_ = nullptr; }
        Ticket& operator=(Ticket&&) = delete;
        Ticket(const Ticket&) = delete;
        ~Ticket();
        explicit operator bool() const { return hub_ != nullptr; }

    private:
        FrameHub* hub_ = nullptr;
    };

    explicit FrameHub(int maxLongRequests);

    // From the thread that reads the library's messages.
    void Publish(unsigned long id);
    void StreamEnded();
    // Wakes every waiter for good; later waits return at once.
    void Stop();

    Newest Current() const;
    bool Stopped() const;
    bool Streaming() const;

    // Until the newest frame is another than `after` (any frame when 0), the
    // timeout passes, Stop, or `gone` (asked every 100 ms) says the requester
    // left. Returns the newest frame then.
    Newest WaitNewer(unsigned long after, std::chrono::milliseconds timeout, const std::function<bool()>& gone = {});
    // Until `count` frames in all have been announced; false on timeout or Stop.
    bool WaitCount(std::uint64_t count, std::chrono::milliseconds timeout);

    // An empty ticket when all places are taken.
    Ticket Admit();
    int LongRequests() const;
    int MaxLongRequests() const { return maxLongRequests_; }

private:
    const int maxLongRequests_;
    mutable std::mutex lock_;  // guards everything below
    std::condition_variable changed_;
    Newest newest_;
    bool stopped_ = false;
    bool streamEnded_ = false;
    int longRequests_ = 0;
};

}  // namespace calidra::tool
