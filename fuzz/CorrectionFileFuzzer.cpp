// A correction-data file of any bytes, read from memory by the same parser the
// file path uses, into planes that are set up once and kept from one input to
// the next (a load refills them where they are).
#include <cstddef>
#include <cstdint>

#include "device/CorrectionPlanes.h"
#include "device/SensorFrame.h"
#include "output/CorrectionFile.h"

namespace {

using calidra::CorrectionPlanes;

// Marks put into the planes before each input: a refused file must leave
// every one of them, and the header values, exactly as they were.
constexpr std::int32_t kUntouchedTag = 0x5EED;
constexpr std::int32_t kUntouchedFlags = 0x7E57;
constexpr double kUntouchedScale = -3.25;
constexpr double kUntouchedValue = 12345.5;

CorrectionPlanes& Planes() {
    static CorrectionPlanes planes = [] {
        CorrectionPlanes made;
        if (made.InitPlanes(calidra::kFrameWidth, calidra::kFrameHeight) != 1) __builtin_trap();
        return made;
    }();
    return planes;
}

void Mark(CorrectionPlanes& planes) {
    planes.SetTagValue(kUntouchedTag);
    planes.SetFlags(kUntouchedFlags);
    planes.SetScaleValue(kUntouchedScale);
    for (int plane = 0; plane < CorrectionPlanes::kPlaneCount; ++plane) {
        auto values = planes.Values(static_cast<CorrectionPlanes::Plane>(plane));
        values.front() = kUntouchedValue;
        values.back() = kUntouchedValue;
    }
}

bool Marked(const CorrectionPlanes& planes) {
    if (planes.TagValue() != kUntouchedTag || planes.Flags() != kUntouchedFlags ||
        planes.ScaleValue() != kUntouchedScale) {
        return false;
    }
    for (int plane = 0; plane < CorrectionPlanes::kPlaneCount; ++plane) {
        auto values = planes.Values(static_cast<CorrectionPlanes::Plane>(plane));
        if (values.size() != calidra::kFramePixels || values.front() != kUntouchedValue ||
            values.back() != kUntouchedValue) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calidra;
    if (size >= 16) {
        const int version = CorrectionFileVersion(data);
        if (version > 99999 || version < -99999) __builtin_trap();
    }
    CorrectionPlanes& planes = Planes();
    Mark(planes);
    if (LoadCorrectionBytes(planes, data, size) != 1) {
        if (!Marked(planes)) __builtin_trap();
        return 0;
    }
    // A loaded file gives whole frame-sized planes and clears the flags; a file
    // older than the scale plane leaves that plane at 1.0.
    if (planes.Flags() != 0) __builtin_trap();
    for (int plane = 0; plane < CorrectionPlanes::kPlaneCount; ++plane) {
        if (planes.Values(static_cast<CorrectionPlanes::Plane>(plane)).size() != kFramePixels) __builtin_trap();
    }
    if (CorrectionFileVersion(data) < kCorrectionVersionWithScalePlane &&
        (planes.Scale().front() != 1.0 || planes.Scale().back() != 1.0)) {
        __builtin_trap();
    }
    return 0;
}
