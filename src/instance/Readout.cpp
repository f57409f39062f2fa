// Readouts of the frames in the ring, and the newest frame's images.
#include <cstdint>

#include "instance/CCalidra.h"
#include "pipeline/RowCopy.h"

namespace calidra {

template <typename Required, typename Fill>
int CCalidra::ReadSlot(std::uint32_t id, const void* buffer, std::uint32_t size, Required required, Fill fill) {
    FrameSlot* slot = frameRing_.Find(id);
    if (slot == nullptr) {
        SetError(ERR_ARGUMENT);
        return 0;
    }
    std::unique_lock<std::mutex> content(slot->contentLock);
    // The loop may have taken the slot for a newer frame since the search.
    if (slot->id.load() != id) {
        content.unlock();
        SetError(ERR_ARGUMENT);
        return 0;
    }
    const std::uint64_t needed = required(*slot);
    if (size < needed) {
        content.unlock();
        SetError(ERR_MEMORY);
        return 0;
    }
    if (needed == 0) return 1;
    if (buffer == nullptr) {
        content.unlock();
        SetError(ERR_ARGUMENT);
        return 0;
    }
    fill(*slot);
    return 1;
}

int CCalidra::GetRaw(std::uint32_t id, unsigned short* buffer, std::uint32_t size) {
    const bool reversed = flipDisplay_.load() != 0;
    return ReadSlot(
        id, buffer, size, [](FrameSlot& slot) { return static_cast<std::uint64_t>(slot.raw.ImageSize()); },
        [&](FrameSlot& slot) { CopyImageRows(slot.raw, reinterpret_cast<std::uint8_t*>(buffer), reversed); });
}

int CCalidra::GetColor(std::uint32_t id, unsigned char* buffer, std::uint32_t size) {
    const bool reversed = flipDisplay_.load() != 0;
    return ReadSlot(
        id, buffer, size, [](FrameSlot& slot) { return static_cast<std::uint64_t>(slot.colour.ImageSize()); },
        [&](FrameSlot& slot) { CopyImageRows(slot.colour, buffer, reversed); });
}

int CCalidra::GetTemperature(std::uint32_t id, float* buffer, std::uint32_t size) {
    const bool reversed = flipDisplay_.load() != 0;
    return ReadSlot(
        id, buffer, size,
        [](FrameSlot& slot) {
            if (!slot.raw.HasPixels()) return std::uint64_t{0};
            return static_cast<std::uint64_t>(slot.raw.Width()) * static_cast<std::uint64_t>(slot.raw.Height()) * 4u;
        },
        [&](FrameSlot& slot) {
            // The level table is rewritten under the device lock by a data-set load.
            std::lock_guard<std::mutex> device(device_.DeviceLock());
            TemperaturesF32(&slot.raw, buffer, reversed, LevelTableColumns());
        });
}

const DibImage& CCalidra::CurrentRawImage() {
    static const DibImage kNone;
    FrameSlot* slot = frameRing_.Newest();
    return slot != nullptr ? slot->raw : kNone;
}

const DibImage& CCalidra::CurrentColourImage() {
    static const DibImage kNone;
    FrameSlot* slot = frameRing_.Newest();
    return slot != nullptr ? slot->colour : kNone;
}

const ThermoTable& CCalidra::ActiveThermoTable() const { return tempRange_.load() == 2 ? thermoHigh_ : thermoNormal_; }

}  // namespace calidra
