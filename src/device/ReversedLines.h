// The line-reversed copy a frame takes when it leaves the device: the sensor's
// line 0 ends up last, the row order of a bottom-up bitmap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calidra {

// Copies height lines of width levels: destination line (height - 1 - y)
// receives source line y. The buffers must not overlap; null buffers copy nothing.
void CopyLinesReversed(const std::uint16_t* source, std::uint16_t* destination, std::size_t width, std::size_t height);

}  // namespace calidra
