// The simulated microbolometer: per-pixel gain and offset spread with a column
// pattern, temporal noise and a few dead pixels, applied to the scene. All of
// it is precomputed once so that a frame costs one pass over the pixels.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "driver/SceneGenerator.h"

namespace calidra::sim {

struct FrameConditions {
    bool shutterClosed = false;
    int baseLevel = 0;              // level of a closed shutter before the fixed pattern
    std::uint32_t frameNumber = 0;  // moves the scene
    std::uint32_t noiseSeed = 0;    // picks this frame's noise
};

class SensorModel {
public:
    static constexpr int kDeadPixelCount = 8;
    static constexpr int kMaxLevel = 16383;

    // seed makes each camera's sensor its own.
    explicit SensorModel(std::uint64_t seed);
    SensorModel(const SensorModel&) = delete;
    SensorModel& operator=(const SensorModel&) = delete;

    // Writes kSensorPixels levels, sensor line 0 first.
    void Render(const FrameConditions& conditions, std::uint16_t* out) const;

    struct DeadPixel {
        int index;
        std::uint16_t level;
    };
    const std::array<DeadPixel, kDeadPixelCount>& DeadPixels() const { return deadPixels_; }

private:
    SceneGenerator scene_;
    std::vector<float> gain_;
    std::vector<std::int16_t> fixedOpen_;    // offset + gain x background
    std::vector<std::int16_t> fixedClosed_;  // offset alone: the shutter is flat
    std::array<DeadPixel, kDeadPixelCount> deadPixels_{};
};

}  // namespace calidra::sim
