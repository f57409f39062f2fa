#include "pipeline/RowCopy.h"

#include <cstddef>
#include <cstring>

#include "pipeline/DibImage.h"

namespace calidra {

void CopyImageRows(const DibImage& image, std::uint8_t* out, bool reversed) {
    if (out == nullptr || !image.HasPixels()) return;
    if (!reversed) {
        std::memcpy(out, image.Bits(), image.ImageSize());
        return;
    }
    const auto stride = static_cast<std::size_t>(image.Stride());
    const std::int32_t height = image.Height();
    for (std::int32_t k = 0; k < height; ++k)
        std::memcpy(out + static_cast<std::size_t>(k) * stride, image.Row(height - 1 - k), stride);
}

}  // namespace calidra
