// Defective pixels, each replaced by its neighbour in the line above or below
// after the frame has been corrected.
#pragma once

#include <cstdint>
#include <vector>

#include "device/SensorFrame.h"

namespace calidra {

struct BadPixel {
    std::int32_t x = 0;
    // Counted from the bottom line of the frame: the pixel sits in frame line 479 - y.
    std::int32_t y = 0;
    // 0 takes the value from the line after the pixel (480 - y), any other value
    // from the line before it (478 - y).
    std::int32_t direction = 0;
    std::int32_t reserved = 0;
};

class BadPixelList {
public:
    int Width() const { return width_; }
    int Height() const { return height_; }
    const std::vector<BadPixel>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }
    void Append(const BadPixel& entry) { entries_.push_back(entry); }

    // Replaces every listed pixel of the corrected 640 x 480 frame, in list
    // order; an entry whose pixel or source lies outside the frame is skipped.
    void Apply(std::uint16_t* frame) const;
    // The same on a corrected frame whose lines are reversed (line 479 - y of
    // the frame is line y here), as it leaves the device.
    void ApplyReversed(std::uint16_t* reversed) const;

private:
    void Replace(std::uint16_t* frame, bool reversed) const;

    int width_ = kFrameWidth;
    int height_ = kFrameHeight;
    std::vector<BadPixel> entries_;
};

}  // namespace calidra
