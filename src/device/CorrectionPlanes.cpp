#include "device/CorrectionPlanes.h"

#include <new>
#include <utility>

#include "device/SensorFrame.h"

namespace calidra {

CorrectionPlanes::CorrectionPlanes() : width_(kFrameWidth), height_(kFrameHeight) {}

void CorrectionPlanes::ReleasePlanes() {
    for (auto& plane : planes_) std::vector<double>().swap(plane);
    shadow_.Clear();
    shadowCurrent_ = false;
}

void CorrectionPlanes::SwapPlanes(CorrectionPlanes& other) {
    std::swap(width_, other.width_);
    std::swap(height_, other.height_);
    std::swap(flags_, other.flags_);
    std::swap(tagValue_, other.tagValue_);
    std::swap(scaleValue_, other.scaleValue_);
    for (int plane = 0; plane < kPlaneCount; ++plane) planes_[plane].swap(other.planes_[plane]);
    shadowCurrent_ = false;
    other.shadowCurrent_ = false;
}

int CorrectionPlanes::InitPlanes(int width, int height) {
    flags_ = 0;
    const std::size_t pixels =
        width < 1 || height < 1 ? 0 : static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (pixels == 0 || pixels > kMaxPixels) {
        ReleasePlanes();
        return 0;
    }
    // Planes of the same size are refilled where they are: every data-set load
    // and camera set-up asks for 640 x 480 again, and 9.8 MB given back and
    // taken anew cost more than the fill.
    if (pixels != PixelCount()) ReleasePlanes();
    shadowCurrent_ = false;
    width_ = width;
    height_ = height;
    try {
        planes_[kGain].assign(pixels, 1.0);
        planes_[kOffset].assign(pixels, 0.0);
        planes_[kShutterOffset].assign(pixels, 0.0);
        planes_[kScale].assign(pixels, 1.0);
    } catch (const std::bad_alloc&) {
        ReleasePlanes();
        return 0;
    }
    return 1;
}

const CorrectionShadow* CorrectionPlanes::Shadow() {
    if (!HasPlanes() || !useShadows_) return nullptr;
    if (!shadowCurrent_) {
        shadowCurrent_ = shadow_.Build(planes_[kGain], planes_[kOffset], planes_[kShutterOffset], planes_[kScale]);
    }
    return shadowCurrent_ ? &shadow_ : nullptr;
}

}  // namespace calidra
