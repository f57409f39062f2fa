#include "device/PixelCorrection.h"

#include <cstddef>

#include "device/SensorFrame.h"

namespace calidra {

bool CorrectPixels(std::uint16_t* frame, const CorrectionPlanes& planes) {
    if (frame == nullptr) return false;
    if (!planes.Covers(kFramePixels)) {
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            if (frame[i] > kMaxLevel) frame[i] = kMaxLevel;
        }
        return false;
    }
    const double* __restrict gain = planes.Gain().data();
    const double* __restrict offset = planes.Offset().data();
    const double* __restrict shutter = planes.ShutterOffset().data();
    const double* __restrict scale = planes.Scale().data();
    std::uint16_t* __restrict out = frame;
    // One branch-free pass the compiler can vectorise. The sums keep the order of
    // the formula and the build never fuses a multiply with an add, so every
    // pixel matches the plain double evaluation bit for bit.
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        double v = ((static_cast<double>(out[i]) * gain[i] + offset[i]) + shutter[i]) * scale[i];
        v = v > 16383.0 ? 16383.0 : v;
        // Also maps NaN, which a hostile data set can put in a plane, to 0.
        v = v >= 0.0 ? v : 0.0;
        out[i] = static_cast<std::uint16_t>(static_cast<std::int32_t>(v));
    }
    return true;
}

}  // namespace calidra
