#include "pipeline/FrameRing.h"

namespace calidra {

void FrameRing::Resize(int length) {
    std::lock_guard<std::mutex> guard(positionLock_);
    slots_.clear();
    for (int i = 0; i < length; ++i) slots_.push_back(std::make_unique<FrameSlot>());
    if (position_ >= length) position_ = 0;
}

bool FrameRing::CreateImages(std::int32_t width, std::int32_t height) {
    for (auto& slot : slots_) {
        std::lock_guard<std::mutex> guard(slot->contentLock);
        slot->id.store(0);
        if (!slot->raw.Create(width, height, 16) || !slot->colour.Create(width, height, 24)) return false;
    }
    return true;
}

void FrameRing::ReleaseImages() {
    for (auto& slot : slots_) {
        std::lock_guard<std::mutex> guard(slot->contentLock);
        slot->colour.Release();
        slot->raw.Release();
    }
}

FrameSlot* FrameRing::Find(std::uint32_t id) {
    if (id == 0) return nullptr;
    for (auto& slot : slots_) {
        if (slot->id.load() == id) return slot.get();
    }
    return nullptr;
}

std::uint32_t FrameRing::NewestId() {
    std::lock_guard<std::mutex> guard(positionLock_);
    return slots_.empty() ? 0 : slots_[static_cast<std::size_t>(position_)]->id.load();
}

FrameSlot* FrameRing::Newest() {
    std::lock_guard<std::mutex> guard(positionLock_);
    return slots_.empty() ? nullptr : slots_[static_cast<std::size_t>(position_)].get();
}

}  // namespace calidra
