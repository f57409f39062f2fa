// Single frames while not previewing: one-shot, and on the trigger input.
#include <cstdlib>

#include "instance/CCalidra.h"
#include "platform/Clock.h"

namespace calidra {

std::uint32_t CCalidra::OneShot() {
    std::lock_guard<std::mutex> guard(controlLock_);
    if (state_ == AcquisitionState::kPreviewing) return 0;
    if (!Prepare()) return 0;
    return CaptureIntoRing();
}

std::uint32_t CCalidra::Trigger() {
    std::lock_guard<std::mutex> guard(controlLock_);
    if (state_ == AcquisitionState::kPreviewing) return 0;
    SetError(ERR_UNSUPPORTED);
    if (!Prepare()) return 0;
    const std::uint32_t start = Clock::TimeMs();
    int previous = 0;
    while (Clock::TimeMs() - start < kTriggerWaitMs) {
        int status = 0;
        if (!device_.ReadRegister(kRegStatus, &status)) status = 0;
        if ((previous & kTriggerBit) != 0 && (status & kTriggerBit) == 0) return CaptureIntoRing();
        previous = status;
    }
    SetError(ERR_FRAME);
    return 0;
}

std::uint32_t CCalidra::CaptureIntoRing() {
    device_.SetTriggerMode(0);
    if (device_.CaptureSingle() != FrameTransfer::kOk) return 0;
    std::unique_lock<std::mutex> position(frameRing_.PositionLock());
    if (frameRing_.Empty()) return 0;
    const int next = frameRing_.NextPosition();
    FrameSlot& slot = frameRing_.Slot(next);
    std::unique_lock<std::mutex> content(slot.contentLock);
    // Single captures give ids without the loop's + 1, so an id may come out 0.
    const std::uint32_t id = Clock::TimeMs() * static_cast<std::uint32_t>(std::rand());
    slot.id.store(0);
    const std::size_t frameBytes =
        static_cast<std::size_t>(device_.WindowWidth()) * static_cast<std::size_t>(device_.WindowHeight()) * 2u;
    if (slot.raw.ImageSize() < frameBytes ||
        device_.ReadSingleFrame(reinterpret_cast<std::uint16_t*>(slot.raw.Bits())) != FrameTransfer::kOk) {
        content.unlock();
        position.unlock();
        SetError(ERR_FRAME);
        return 0;
    }
    slot.id.store(id);
    frameRing_.SetPosition(next);
    position.unlock();
    colourMap_.Colourise(slot.raw, slot.colour, range_);
    return id;
}

}  // namespace calidra
