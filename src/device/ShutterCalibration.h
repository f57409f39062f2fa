// The shutter calibration: averages frames taken with the shutter closed,
// nudges the sensor's pair-40 level toward the reference level and rewrites the
// shutter offset plane so that the averaged scene reads the reference level.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/CorrectionPlanes.h"
#include "device/SensorSettings.h"

namespace calidra {

class ShutterCalibration {
public:
    static constexpr int kDefaultFramesToAverage = 30;
    static constexpr int kDefaultReferenceLevel = 6000;

    // Arms a calibration over the next framesToAverage frames (at least 1). A
    // request during an accumulation starts it over with the next frame.
    void Request(int framesToAverage);
    // Drops a calibration under way and its accumulator.
    void Cancel();

    bool Requested() const { return requested_; }
    int FramesToAverage() const { return framesToAverage_; }
    int AccumulatedFrames() const { return count_; }
    // The mean level a calibration aims at; 0 makes the next calibration adopt
    // the mean it measures.
    int ReferenceLevel() const { return referenceLevel_; }
    void SetReferenceLevel(int level) { referenceLevel_ = level; }

    // Takes one raw 640 x 480 frame before its correction. Does nothing without
    // a request; otherwise adds the frame to the sums, and the frame that makes
    // the count reach FramesToAverage finishes the calibration: true then, after
    // the pair-40 step, the new shutter offset plane and the open-shutter pulses.
    bool AddFrame(const std::uint16_t* frame, CorrectionPlanes& planes, SensorSettings& sensor);

    // The pair-40 step for a mean that lies d above the reference level.
    static int Pair40Step(std::int64_t d);
    // The mean of the per-pixel averages floor(sum / n) over the frame, in 16 bits.
    static std::uint16_t LevelMean(std::span<const std::uint64_t> sums, int framesToAverage);

private:
    void Finish(CorrectionPlanes& planes, SensorSettings& sensor);

    bool requested_ = false;
    int framesToAverage_ = kDefaultFramesToAverage;
    int count_ = 0;
    int referenceLevel_ = kDefaultReferenceLevel;
    // One sum per pixel, held only while a calibration accumulates.
    std::vector<std::uint64_t> sums_;
};

}  // namespace calidra
