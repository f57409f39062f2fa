// The ring of recent frames: its slots, the position of the newest one and the
// lock that guards that position.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "pipeline/FrameSlot.h"

namespace calidra {

class FrameRing {
public:
    FrameRing() = default;
    FrameRing(const FrameRing&) = delete;
    FrameRing& operator=(const FrameRing&) = delete;

    // Removes every slot, then appends length slots with id 0 and no pixels.
    void Resize(int length);
    int Length() const { return static_cast<int>(slots_.size()); }
    bool Empty() const { return slots_.empty(); }
    // Every id 0 and both images of every slot made anew (zeroed), width x height
    // at 16 and 24 bits; false at the first image that cannot be made (the slots
    // before it keep theirs).
    bool CreateImages(std::int32_t width, std::int32_t height);
    // Releases the pixels of every slot; the slots stay.
    void ReleaseImages();

    FrameSlot& Slot(int index) { return *slots_[static_cast<std::size_t>(index)]; }
    // The first slot holding id; null for id 0 or an id not in the ring. Takes
    // no lock: a caller that copies from the slot locks its content and checks
    // the id again.
    FrameSlot* Find(std::uint32_t id);

    // Guards the position: held from choosing the next slot until the position
    // has moved to it, and for every read of the position.
    std::mutex& PositionLock() { return positionLock_; }
    // With PositionLock held.
    int Position() const { return position_; }
    int NextPosition() const { return position_ + 1 >= Length() ? 0 : position_ + 1; }
    void SetPosition(int index) { position_ = index; }

    // Takes the position lock: the newest slot's id (0 with no slots).
    std::uint32_t NewestId();
    // Takes the position lock: the newest slot, or null with no slots.
    FrameSlot* Newest();

private:
    std::vector<std::unique_ptr<FrameSlot>> slots_;
    std::mutex positionLock_;
    int position_ = 0;
};

}  // namespace calidra
