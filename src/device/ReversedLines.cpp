#include "device/ReversedLines.h"

#include <cstring>

namespace calidra {

void CopyLinesReversed(const std::uint16_t* source, std::uint16_t* destination, std::size_t width, std::size_t height) {
    if (source == nullptr || destination == nullptr) return;
    // A line is a contiguous block in both buffers, so one block copy per line
    // moves the frame at the speed of a plain copy of the same bytes.
    const std::size_t lineBytes = width * sizeof(std::uint16_t);
    for (std::size_t y = 0; y < height; ++y)
        std::memcpy(destination + (height - 1 - y) * width, source + y * width, lineBytes);
}

}  // namespace calidra
