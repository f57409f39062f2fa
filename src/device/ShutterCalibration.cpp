#include "device/ShutterCalibration.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "device/SensorFrame.h"

namespace calidra {

namespace {
constexpr int kShutterRegister = 80;
constexpr int kShutterOpen = 16;
}  // namespace

void ShutterCalibration::Request(int framesToAverage) {
    // An average over no frames has no meaning and would divide by zero.
    framesToAverage_ = framesToAverage < 1 ? 1 : framesToAverage;
    count_ = 0;
    requested_ = true;
}

void ShutterCalibration::Cancel() {
    requested_ = false;
    count_ = 0;
    std::vector<std::uint64_t>().swap(sums_);
}

int ShutterCalibration::Pair40Step(std::int64_t d) {
    if (d > 2000) return 20;
    if (d > 500) return 5;
    if (d > 100) return 1;
    if (d >= -100) return 0;
    if (d >= -500) return -1;
    if (d >= -2000) return -5;
    return -20;
}

std::uint16_t ShutterCalibration::LevelMean(std::span<const std::uint64_t> sums, int framesToAverage) {
    if (framesToAverage < 1 || sums.empty()) return 0;
    const auto n = static_cast<std::uint64_t>(framesToAverage);
    std::uint64_t total = 0;
    for (std::uint64_t sum : sums) total += sum / n;
    const auto mean = static_cast<std::int64_t>(total) / kFrameHeight / kFrameWidth;
    return static_cast<std::uint16_t>(mean);
}

bool ShutterCalibration::AddFrame(const std::uint16_t* frame, CorrectionPlanes& planes, SensorSettings& sensor) {
    if (!requested_ || frame == nullptr) return false;
    if (count_ == 0) {
        try {
            sums_.assign(kFramePixels, 0);
        } catch (const std::bad_alloc&) {
            Cancel();
            return false;
        }
    }
    std::uint64_t* sums = sums_.data();
    for (std::size_t i = 0; i < kFramePixels; ++i) sums[i] += frame[i];
    if (++count_ < framesToAverage_) return false;
    Finish(planes, sensor);
    return true;
}

void ShutterCalibration::Finish(CorrectionPlanes& planes, SensorSettings& sensor) {
    const std::uint16_t mean = LevelMean(sums_, framesToAverage_);
    if (referenceLevel_ == 0) {
        referenceLevel_ = mean;
    } else {
        const int step = Pair40Step(std::int64_t{mean} - referenceLevel_);
        if (step != 0) {
            // The recorded value may come from a data set: saturate rather than overflow.
            const std::int64_t target =
                std::clamp<std::int64_t>(std::int64_t{sensor.CurrentPair40()} + step, INT32_MIN, INT32_MAX);
            sensor.SetPair40(static_cast<int>(target));
        }
    }

    // Without planes covering the frame there is no shutter offset to rewrite.
    if (planes.Covers(kFramePixels)) {
        const double* gain = planes.Gain().data();
        double* shutter = planes.ShutterOffset().data();
        const double reference = static_cast<double>(referenceLevel_);
        const double n = static_cast<double>(framesToAverage_);
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            shutter[i] = reference - (static_cast<double>(sums_[i]) / n) * gain[i];
        }
    }

    sensor.WriteRegister(kShutterRegister, kShutterOpen);
    sensor.Sleep(40);
    sensor.WriteRegister(kShutterRegister, 0);
    sensor.Sleep(10);
    sensor.WriteRegister(kShutterRegister, kShutterOpen);
    sensor.Sleep(22);
    sensor.WriteRegister(kShutterRegister, 0);

    Cancel();
}

}  // namespace calidra
