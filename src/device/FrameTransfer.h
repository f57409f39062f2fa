// Moves raw frames from the driver into memory: the frame geometry and
// buffers, a single-frame capture on a transfer thread of its own, and a
// stream whose high-priority thread fills a ring of four buffers while the
// acquisition thread takes the newest complete one. Frames are corrected in
// place through the hook given at construction and leave line-reversed, the
// row order of a bottom-up bitmap.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/TransferRing.h"
#include "platform/Event.h"
#include "platform/Thread.h"

namespace calidra {

class FrameTransfer {
public:
    static constexpr int kRingSize = 4;
    static constexpr std::uint32_t kFrameWaitMs = 6000;

    enum Result : int {
        kOk = 0,
        kFailed = 1,  // invalid argument, or the stream failed / no frame in time
        kNoFrameYet = 2,
        kFrameReady = 3,
        kOutOfMemory = 7,
        kOpenFailed = 10,
        kNoBuffer = 14,
        kTransferFailed = 19,
        kBusy = 21,
    };

    // deliver receives a frame of Width() x Height() values, line 0 first, and
    // the destination; it corrects the frame into the destination with the
    // lines reversed and returns true, or returns false having written
    // nothing, and the frame is then copied out as it came. The frame itself
    // is left as it came, so reading a single capture twice gives the same
    // picture twice.
    using Delivery = std::function<bool(const std::uint16_t* frame, std::uint16_t* destination)>;
    explicit FrameTransfer(Delivery deliver);
    FrameTransfer(const FrameTransfer&) = delete;
    FrameTransfer& operator=(const FrameTransfer&) = delete;
    // Ends a stream still running, so that no thread outlives the buffers.
    ~FrameTransfer();

    // Width x height rounded up to a multiple of 1024.
    static std::uint32_t TransferLengthFor(int width, int height);

    // Frees and reallocates the single-frame buffer and ringSize ring entries
    // for a width x height window: kOk, kFailed (ringSize below 2, or a
    // capture or stream is running) or kOutOfMemory.
    Result Allocate(int width, int height, int ringSize);
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint32_t TransferLength() const { return transferLength_; }
    // true while a stream thread or a single capture exists.
    bool IsBusy() const;

    // One frame of byteCount bytes through path on a thread of its own;
    // blocks until it is in: kOk, kOpenFailed, kTransferFailed or kBusy.
    Result CaptureSingle(const char* path, std::uint32_t byteCount);
    // kOk started, kBusy already running. A stream that ended by itself is
    // collected first, its result dropped.
    Result StartStream(const char* path, std::uint32_t byteCount);
    // kFailed the stream failed or no frame came in time, kOk or kNoFrameYet
    // nothing now, kFrameReady a frame is ready for ReadStreamFrame.
    Result WaitFrame();
    // Returns once a frame is ready for WaitFrame, the stream has ended, or
    // timeoutMs have passed; claims nothing.
    void AwaitFrame(std::uint32_t timeoutMs);
    // destination: Height() lines of Width() values. kOk, or kNoBuffer when null.
    Result ReadStreamFrame(std::uint16_t* destination);
    Result ReadSingleFrame(std::uint16_t* destination);
    // The stream's result (kOk, kOpenFailed or kTransferFailed); kOk when no
    // stream was started since the last stop.
    Result StopStream();

    TransferRing& Ring() { return ring_; }

private:
    void SingleTransfer(const std::string& path, std::uint32_t byteCount);
    void StreamLoop(const std::string& path, std::uint32_t byteCount);
    // Corrects and copies out one frame, last line first.
    void Deliver(const std::uint16_t* frame, std::uint16_t* destination);

    Delivery deliver_;
    int width_ = 0;
    int height_ = 0;
    std::uint32_t transferLength_ = 0;
    std::vector<std::uint16_t> single_;
    TransferRing ring_;

    // Single capture. The idle flag is claimed by compare-and-swap so two
    // callers can never both start one.
    std::atomic<int> singleIdle_{1};
    Result singleResult_ = kOk;  // written by the transfer thread before it signals

    // Stream. stopped_ is both the stop request and the thread's end marker.
    std::unique_ptr<Event> frameEvent_;
    std::unique_ptr<Event> finishedEvent_;
    Thread streamThread_;
    bool streamStarted_ = false;  // a stream exists that StopStream has not collected
    std::atomic<int> stopped_{1};
    std::atomic<int> error_{0};
    std::atomic<Result> streamResult_{kOk};
};

}  // namespace calidra
