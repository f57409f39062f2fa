// What the simulated camera looks at: a room-temperature background and a few
// warm objects that move, as signal levels above or below the shutter's own.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace calidra::sim {

constexpr int kSensorWidth = 640;
constexpr int kSensorHeight = 480;
constexpr int kSensorPixels = kSensorWidth * kSensorHeight;

// A warm object's signal, precomputed once with soft edges.
struct Sprite {
    int width = 0;
    int height = 0;
    std::vector<std::int16_t> signal;  // width x height, row after row
};

struct SpritePlacement {
    const Sprite* sprite;
    int left;
    int top;
};

class SceneGenerator {
public:
    static constexpr int kObjectCount = 3;

    SceneGenerator();

    // Signal of the still background per pixel, sensor line 0 first.
    const std::vector<std::int16_t>& Background() const { return background_; }
    // Where the warm objects are in the given frame; a placement may reach
    // beyond the sensor's edges.
    std::array<SpritePlacement, kObjectCount> Objects(std::uint32_t frameNumber) const;

private:
    std::vector<std::int16_t> background_;
    Sprite person_;
    Sprite mug_;
    Sprite hand_;
};

}  // namespace calidra::sim
