#include "driver/SceneGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace calidra::sim {

namespace {

// Signal of a soft-edged ellipse: full strength inside, fading over about
// three pixels at the rim as a slightly blurred lens shows it.
double EllipseWeight(double dx, double dy, double rx, double ry) {
    double r = std::sqrt((dx * dx) / (rx * rx) + (dy * dy) / (ry * ry));
    double edgePixels = (1.0 - r) * std::min(rx, ry);
    return std::clamp(edgePixels / 3.0 + 0.5, 0.0, 1.0);
}

Sprite MakeDisc(int radius, double strength) {
    Sprite sprite;
    sprite.width = 2 * radius + 1;
    sprite.height = 2 * radius + 1;
    sprite.signal.resize(static_cast<std::size_t>(sprite.width) * sprite.height);
    for (int y = 0; y < sprite.height; ++y) {
        for (int x = 0; x < sprite.width; ++x) {
            double w = EllipseWeight(x - radius, y - radius, radius, radius);
            sprite.signal[static_cast<std::size_t>(y) * sprite.width + x] = static_cast<std::int16_t>(strength * w);
        }
    }
    return sprite;
}

// A standing figure: an elliptic body with a smaller, warmer head above it.
Sprite MakePerson() {
    Sprite sprite;
    sprite.width = 100;
    sprite.height = 260;
    sprite.signal.resize(static_cast<std::size_t>(sprite.width) * sprite.height);
    for (int y = 0; y < sprite.height; ++y) {
        for (int x = 0; x < sprite.width; ++x) {
            double body = EllipseWeight(x - 49.5, y - 160.0, 46.0, 98.0);
            double head = EllipseWeight(x - 49.5, y - 32.0, 24.0, 30.0);
            double signal = std::max(body * 420.0, head * 560.0);
            sprite.signal[static_cast<std::size_t>(y) * sprite.width + x] = static_cast<std::int16_t>(signal);
        }
    }
    return sprite;
}

}  // namespace

SceneGenerator::SceneGenerator()
    : background_(kSensorPixels), person_(MakePerson()), mug_(MakeDisc(16, 1500.0)), hand_(MakeDisc(26, 700.0)) {
    for (int y = 0; y < kSensorHeight; ++y) {
        for (int x = 0; x < kSensorWidth; ++x) {
            // Warm air under the ceiling, a cooler floor, a little lens
            // falloff towards the corners.
            double signal = 120.0 - 270.0 * y / (kSensorHeight - 1);
            double cx = (x - 319.5) / 320.0;
            double cy = (y - 239.5) / 240.0;
            signal -= 60.0 * (cx * cx + cy * cy);
            if (x >= 60 && x < 220 && y >= 50 && y < 200) signal -= 350.0;    // a window pane
            if (x >= 400 && x < 600 && y >= 390 && y < 425) signal += 650.0;  // a radiator
            background_[static_cast<std::size_t>(y) * kSensorWidth + x] = static_cast<std::int16_t>(signal);
        }
    }
}

std::array<SpritePlacement, SceneGenerator::kObjectCount> SceneGenerator::Objects(std::uint32_t frameNumber) const {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    double f = static_cast<double>(frameNumber);
    // A person walking to and fro, a hot mug carried in a circle, a hand
    // waving about: periods of 20 s, 8 s and 15 s at 30 frames per second.
    int personX = static_cast<int>(320.0 + 230.0 * std::sin(kTwoPi * f / 600.0));
    int mugX = static_cast<int>(470.0 + 70.0 * std::cos(kTwoPi * f / 240.0));
    int mugY = static_cast<int>(300.0 + 70.0 * std::sin(kTwoPi * f / 240.0));
    int handX = static_cast<int>(320.0 + 250.0 * std::sin(kTwoPi * f / 450.0));
    int handY = static_cast<int>(240.0 + 150.0 * std::sin(kTwoPi * f / 330.0));
    return {{
        {&person_, personX - person_.width / 2, 215},
        {&mug_, mugX - mug_.width / 2, mugY - mug_.height / 2},
        {&hand_, handX - hand_.width / 2, handY - hand_.height / 2},
    }};
}

}  // namespace calidra::sim
