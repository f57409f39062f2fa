#include "device/BadPixelList.h"

namespace calidra {

void BadPixelList::Apply(std::uint16_t* frame) const { Replace(frame, false); }

void BadPixelList::ApplyReversed(std::uint16_t* reversed) const { Replace(reversed, true); }

void BadPixelList::Replace(std::uint16_t* frame, bool reversed) const {
    if (frame == nullptr) return;
    const std::int64_t lastLine = std::int64_t{height_} - 1;
    for (const BadPixel& entry : entries_) {
        // 64-bit line numbers: y comes from a file and may be anything.
        const std::int64_t target = lastLine - entry.y;
        const std::int64_t source = entry.direction == 0 ? target + 1 : target - 1;
        if (entry.x < 0 || entry.x >= width_) continue;
        if (target < 0 || target > lastLine || source < 0 || source > lastLine) continue;
        const std::int64_t to = reversed ? lastLine - target : target;
        const std::int64_t from = reversed ? lastLine - source : source;
        frame[to * width_ + entry.x] = frame[from * width_ + entry.x];
    }
}

}  // namespace calidra
