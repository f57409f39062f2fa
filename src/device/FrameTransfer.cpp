#include "device/FrameTransfer.h"

#include <bit>
#include <cstring>
#include <new>

#include "device/CommandPacket.h"
#include "device/DriverChannel.h"
#include "device/ReversedLines.h"

namespace calidra {

namespace {

// The driver delivers little-endian words; on a big-endian host they are
// turned round once, where they land.
void WordsToHostOrder(std::uint16_t* words, std::size_t count) {
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < count; ++i)
            words[i] = static_cast<std::uint16_t>((words[i] >> 8) | (words[i] << 8));
    }
}

// Asks for one frame and reads it into buffer: true when exactly byteCount
// bytes came, with *returned the count the driver gave.
bool TransferFrame(DeviceHandle handle, void* buffer, std::uint32_t byteCount, std::uint32_t* returned, bool* failed) {
    CommandPacket start = CommandPacket::StartFrame();
    std::uint32_t ignored = 0;
    IoTransfer(handle, kPipeCommand, CommandPacket::kSize, start.Data(), &ignored, kIoctlOutDirect);
    *returned = 0;
    *failed = IoTransfer(handle, kPipeFrame, byteCount, buffer, returned, kIoctlInDirect) != kIoDone;
    return !*failed && *returned == byteCount;
}

}  // namespace

FrameTransfer::FrameTransfer(Delivery deliver) : deliver_(std::move(deliver)) {}

FrameTransfer::~FrameTransfer() { StopStream(); }

std::uint32_t FrameTransfer::TransferLengthFor(int width, int height) {
    std::uint32_t pixels = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height);
    return (pixels + 1023u) / 1024u * 1024u;
}

bool FrameTransfer::IsBusy() const {
    return streamThread_.Joinable() || singleIdle_.load(std::memory_order_acquire) == 0;
}

FrameTransfer::Result FrameTransfer::Allocate(int width, int height, int ringSize) {
    if (ringSize < 2 || IsBusy()) return kFailed;
    width_ = width;
    height_ = height;
    transferLength_ = TransferLengthFor(width, height);
    // The buffers keep their memory from one window to the next: every preview
    // and camera set-up asks for the full window again, often after a smaller one.
    try {
        single_.assign(transferLength_, 0);
    } catch (const std::bad_alloc&) {
        single_.clear();
        single_.shrink_to_fit();
        ring_.Release();
        return kOutOfMemory;
    }
    if (!ring_.Allocate(ringSize, transferLength_)) return kOutOfMemory;
    return kOk;
}

void FrameTransfer::SingleTransfer(const std::string& path, std::uint32_t byteCount) {
    DeviceHandle handle = 0;
    if (!OpenChannel(handle, path.c_str())) {
        singleResult_ = kOpenFailed;
        return;
    }
    std::uint32_t returned = 0;
    bool failed = false;
    void* buffer = single_.empty() ? nullptr : single_.data();
    bool whole = TransferFrame(handle, buffer, byteCount, &returned, &failed);
    if (whole) WordsToHostOrder(single_.data(), single_.size());
    singleResult_ = whole ? kOk : kTransferFailed;
    CloseChannel(handle);
}

FrameTransfer::Result FrameTransfer::CaptureSingle(const char* path, std::uint32_t byteCount) {
    int idle = 1;
    if (!singleIdle_.compare_exchange_strong(idle, 0, std::memory_order_acq_rel)) return kBusy;
    std::string devicePath = path != nullptr ? path : "";
    Event completion(true, false);
    Thread transfer;
    bool started = transfer.Start(
        [&] {
            SingleTransfer(devicePath, byteCount);
            completion.Set();
        },
        true);
    if (started) completion.Wait(Event::kInfinite);
    transfer.Join();
    Result result = started ? singleResult_ : kTransferFailed;
    // Release: the buffer's new contents and the result are complete before
    // another capture can claim the idle flag.
    singleIdle_.store(1, std::memory_order_release);
    return result;
}

void FrameTransfer::StreamLoop(const std::string& path, std::uint32_t byteCount) {
    Result code = kOk;
    bool forgiveShort = true;
    DeviceHandle handle = 0;
    if (!OpenChannel(handle, path.c_str())) code = kOpenFailed;
    // Acquire pairs with StopStream's release: nothing is carried by the flag
    // but the request itself, so any fresh value will do.
    while (code == kOk && stopped_.load(std::memory_order_acquire) != 1) {
        int entry = ring_.WriteIndex();
        void* buffer = ring_.Size() > 0 ? ring_.Entry(entry) : nullptr;
        std::uint32_t returned = 0;
        bool failed = false;
        if (TransferFrame(handle, buffer, byteCount, &returned, &failed)) {
            WordsToHostOrder(ring_.Entry(entry), ring_.Words());
        } else if (failed) {
            code = kTransferFailed;
        } else if (forgiveShort) {
            forgiveShort = false;
            continue;
        } else {
            code = kTransferFailed;
        }
        // A failed buffer is published too, so a reader that comes in between
        // gets it before it learns the stream has ended.
        ring_.Publish(entry);
        frameEvent_->Set();
    }
    CloseChannel(handle);
    streamResult_.store(code, std::memory_order_relaxed);
    error_.store(code == kTransferFailed ? 1 : 0, std::memory_order_relaxed);
    // Release: the result and error flag are visible to whoever sees the
    // stream stopped.
    stopped_.store(1, std::memory_order_release);
    finishedEvent_->Set();
    // A reader waiting for the next frame wakes now and learns of the end at
    // its next call, instead of after the frame timeout.
    frameEvent_->Set();
}

FrameTransfer::Result FrameTransfer::StartStream(const char* path, std::uint32_t byteCount) {
    if (stopped_.load(std::memory_order_acquire) == 0) return kBusy;
    streamThread_.Join();
    std::string devicePath = path != nullptr ? path : "";
    finishedEvent_ = std::make_unique<Event>(true, false);
    frameEvent_ = std::make_unique<Event>(false, false);
    error_.store(0, std::memory_order_relaxed);
    streamResult_.store(kOk, std::memory_order_relaxed);
    ring_.ResetIndexes();
    stopped_.store(0, std::memory_order_relaxed);
    // Starting the thread orders every store above before its first step.
    if (!streamThread_.Start([this, devicePath, byteCount] { StreamLoop(devicePath, byteCount); }, true)) {
        streamResult_.store(kTransferFailed, std::memory_order_relaxed);
        error_.store(1, std::memory_order_relaxed);
        stopped_.store(1, std::memory_order_release);
        finishedEvent_->Set();
    }
    streamStarted_ = true;
    return kOk;
}

FrameTransfer::Result FrameTransfer::WaitFrame() {
    // Acquire: a stream that has ended has stored its error flag first.
    if (stopped_.load(std::memory_order_acquire) == 1)
        return error_.load(std::memory_order_relaxed) == 1 ? kFailed : kOk;
    if (ring_.ClaimNewest() >= 1) return kFrameReady;
    if (!frameEvent_->Wait(kFrameWaitMs)) return kFailed;
    return kNoFrameYet;
}

void FrameTransfer::AwaitFrame(std::uint32_t timeoutMs) {
    if (stopped_.load(std::memory_order_acquire) == 1 || ring_.HasCompleted()) return;
    frameEvent_->Wait(timeoutMs);
}

void FrameTransfer::Deliver(const std::uint16_t* frame, std::uint16_t* destination) {
    // One pass: the corrected levels go straight to their reversed lines
    // instead of back into the frame and then through a second copy.
    if (deliver_ && deliver_(frame, destination)) return;
    CopyLinesReversed(frame, destination, static_cast<std::size_t>(width_), static_cast<std::size_t>(height_));
}

FrameTransfer::Result FrameTransfer::ReadStreamFrame(std::uint16_t* destination) {
    if (destination == nullptr) return kNoBuffer;
    if (ring_.Size() == 0) return kOk;
    Deliver(ring_.Entry(ring_.ReadIndex()), destination);
    ring_.AdvanceRead();
    return kOk;
}

FrameTransfer::Result FrameTransfer::ReadSingleFrame(std::uint16_t* destination) {
    if (destination == nullptr) return kNoBuffer;
    if (single_.empty()) return kOk;
    Deliver(single_.data(), destination);
    return kOk;
}

FrameTransfer::Result FrameTransfer::StopStream() {
    if (!streamStarted_) return kOk;
    // Release pairs with the stream thread's acquire of the request.
    stopped_.store(1, std::memory_order_release);
    finishedEvent_->Wait(Event::kInfinite);
    streamThread_.Join();
    Result code = streamResult_.load(std::memory_order_relaxed);
    frameEvent_.reset();
    finishedEvent_.reset();
    error_.store(0, std::memory_order_relaxed);
    streamStarted_ = false;
    return code;
}

}  // namespace calidra
