#include "kernels/KernelChecks.h"

#include <algorithm>

namespace calidra {

bool KernelChecks::OptionsAccepted(const KernelOptions* options) {
    if (options == nullptr) return false;
    return options->version == 1 || (options->version == 10 && options->size >= 12);
}

bool KernelChecks::RegionUsable(const PixelRegion* region) {
    if (region == nullptr || region->size < PixelRegion::kSize || region->pixels == nullptr) return false;
    if (region->width <= 0 || region->height <= 0 || region->bytesPerLine <= 0) return false;
    if (region->bitsPerPixel <= 0 || region->bitsPerPixel % 8 != 0) return false;
    // A line must hold its pixels, or a kernel would run past the memory the
    // region describes.
    if (std::int64_t{region->width} * (region->bitsPerPixel / 8) > region->bytesPerLine) return false;
    const PixelRect& r = region->rect;
    return r.left >= 0 && r.left < r.right && r.right <= region->width && r.top >= 0 && r.top < r.bottom &&
           r.bottom <= region->height;
}

bool KernelChecks::PairUsable(const PixelRegion* destination, const PixelRegion* source, const KernelOptions* options,
                              std::int32_t depthA, std::int32_t depthB) {
    if (!OptionsAccepted(options) || !RegionUsable(destination) || !RegionUsable(source)) return false;
    if (destination->bitsPerPixel != source->bitsPerPixel) return false;
    return destination->bitsPerPixel == depthA || destination->bitsPerPixel == depthB;
}

KernelChecks::Span KernelChecks::SpanOf(const PixelRegion& destination, const PixelRegion& source) {
    return Span{std::min(destination.rect.bottom - destination.rect.top, source.rect.bottom - source.rect.top),
                std::min(destination.rect.right - destination.rect.left, source.rect.right - source.rect.left)};
}

}  // namespace calidra
