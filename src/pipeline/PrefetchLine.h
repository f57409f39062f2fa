// Walking an image's lines last to first defeats the processor's own
// prefetching: from memory such a walk runs up to three times slower than one
// in storage order. Asking for the next line while one is being worked on
// brings it back to the speed of a forward walk.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calidra {

inline void PrefetchLine(const void* line, std::size_t bytes) {
    const auto* bytesOf = static_cast<const std::uint8_t*>(line);
    for (std::size_t b = 0; b < bytes; b += 64) __builtin_prefetch(bytesOf + b);
}

}  // namespace calidra
