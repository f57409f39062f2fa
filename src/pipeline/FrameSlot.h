// One frame of the ring: its id, its raw levels and its pseudo-colour picture.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "pipeline/DibImage.h"

namespace calidra {

struct FrameSlot {
    // 0 means no frame. Read without a lock by the id search, so atomic.
    std::atomic<std::uint32_t> id{0};
    DibImage raw;     // 16 bits per pixel, the device's row order
    DibImage colour;  // 24 bits per pixel, blue, green, red
    // Held while the pixels are written (the acquisition loop, from taking the
    // slot until its colour picture is done) and while a readout copies them, so
    // that a reader never gets a mixture of two frames. Taken after the ring's
    // position lock and before the device lock.
    std::mutex contentLock;
};

}  // namespace calidra
