#include "device/BadPixelList.h"

namespace calidra {

void BadPixelList::Apply(std::uint16_t* frame) const {
    if (frame == nullptr) return;
    for (const BadPixel& entry : entries_) {
        // 64-bit line numbers: y comes from a file and may be anything.
        const std::int64_t target = std::int64_t{height_} - 1 - entry.y;
        const std::int64_t source = entry.direction == 0 ? target + 1 : target - 1;
        if (entry.x < 0 || entry.x >= width_) continue;
        if (target < 0 || target >= height_ || source < 0 || source >= height_) continue;
        frame[target * width_ + entry.x] = frame[source * width_ + entry.x];
    }
}

}  // namespace calidra
