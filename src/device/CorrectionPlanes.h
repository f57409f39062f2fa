// The per-pixel correction of one device object: gain, offset, shutter offset and
// scale planes of doubles in frame order, with the header values a correction-data
// file keeps beside them, and the float shadows the per-frame pass reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "device/CorrectionShadow.h"

namespace calidra {

class CorrectionPlanes {
public:
    enum Plane { kGain = 0, kOffset = 1, kShutterOffset = 2, kScale = 3, kPlaneCount = 4 };
    static constexpr double kDefaultScaleValue = 1024.0;
    // Planes hold at most this many pixels each (32 MiB of doubles): a width and
    // height taken from a file never ask for more.
    static constexpr std::size_t kMaxPixels = std::size_t{1} << 22;

    // A 640 x 480 header with no planes allocated.
    CorrectionPlanes();

    // Records the size, clears flags and gives four fresh planes: gain and scale
    // 1.0, offset and shutter offset 0.0. 1 on success; 0 when a plane cannot be
    // allocated or the size is not positive or exceeds kMaxPixels, and then no
    // plane is left allocated.
    int InitPlanes(int width, int height);
    void ReleasePlanes();
    // Exchanges size, planes and header values with other, each keeping its own
    // shadow memory, which becomes stale: planes read aside are swapped in under
    // the lock in constant time and the old ones freed after it.
    void SwapPlanes(CorrectionPlanes& other);

    bool HasPlanes() const { return !planes_[0].empty(); }
    // true when all four planes hold at least width x height values, so a frame
    // of that size can be corrected pixel for pixel.
    bool Covers(std::size_t pixels) const { return HasPlanes() && planes_[0].size() >= pixels; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Values per plane; 0 without planes.
    std::size_t PixelCount() const { return planes_[0].size(); }

    // Every plane handed out for writing makes the shadows stale: a writer
    // writes before the next correction, which rebuilds them.
    std::span<double> Values(Plane plane) { return Writable(plane); }
    std::span<const double> Values(Plane plane) const { return planes_[plane]; }
    std::span<double> Gain() { return Writable(kGain); }
    std::span<const double> Gain() const { return planes_[kGain]; }
    std::span<double> Offset() { return Writable(kOffset); }
    std::span<const double> Offset() const { return planes_[kOffset]; }
    std::span<double> ShutterOffset() { return Writable(kShutterOffset); }
    std::span<const double> ShutterOffset() const { return planes_[kShutterOffset]; }
    std::span<double> Scale() { return Writable(kScale); }
    std::span<const double> Scale() const { return planes_[kScale]; }

    // The float shadows of the planes as they are now, rebuilt here when a plane
    // was handed out for writing since the last call; nullptr without planes or
    // when the memory for the shadows cannot be had (the doubles still serve).
    // Called under the same lock as every writer.
    const CorrectionShadow* Shadow();
    // With false, Shadow() gives nullptr and frames are corrected from the
    // doubles alone: for harnesses that change the planes before every frame
    // (the fuzz targets), where rebuilding the shadows would be all they do.
    void UseShadows(bool use) { useShadows_ = use; }

    // Header values stored and restored with the planes; none affects the correction.
    std::int32_t Flags() const { return flags_; }
    void SetFlags(std::int32_t flags) { flags_ = flags; }
    std::int32_t TagValue() const { return tagValue_; }
    void SetTagValue(std::int32_t tag) { tagValue_ = tag; }
    double ScaleValue() const { return scaleValue_; }
    void SetScaleValue(double scale) { scaleValue_ = scale; }

private:
    std::span<double> Writable(Plane plane) {
        shadowCurrent_ = false;
        return planes_[plane];
    }

    int width_;
    int height_;
    std::int32_t flags_ = 0;
    std::int32_t tagValue_ = 0;
    double scaleValue_ = kDefaultScaleValue;
    std::vector<double> planes_[kPlaneCount];
    CorrectionShadow shadow_;
    bool shadowCurrent_ = false;
    bool useShadows_ = true;
};

}  // namespace calidra
