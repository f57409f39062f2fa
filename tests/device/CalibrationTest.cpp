#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/CorrectionPlanes.h"
#include "device/FakeSensorSettings.h"
#include "device/SensorCorrection.h"
#include "device/SensorFrame.h"
#include "device/ShutterCalibration.h"

namespace calidra {
namespace {

const std::vector<std::string> kOpenShutter = {"Write(80,16)", "Sleep(40)", "Write(80,0)", "Sleep(10)",
                                               "Write(80,16)", "Sleep(22)", "Write(80,0)"};

class CalibrationTest : public ::testing::Test {
protected:
    void SetUp() override { correction.Reset(); }

    // Feeds count frames of one level through the correction; the last output.
    std::vector<std::uint16_t> Feed(int count, std::uint16_t level) {
        std::vector<std::uint16_t> frame;
        for (int k = 0; k < count; ++k) {
            frame.assign(kFramePixels, level);
            correction.CorrectFrame(frame.data(), sensor);
        }
        return frame;
    }

    std::vector<std::string> WithStep(int pair40) {
        std::vector<std::string> calls = {"SetPair40(" + std::to_string(pair40) + ")"};
        calls.insert(calls.end(), kOpenShutter.begin(), kOpenShutter.end());
        return calls;
    }

    SensorCorrection correction;
    FakeSensorSettings sensor;
    ShutterCalibration& calibration = correction.Calibration();
};

TEST(ShutterCalibrationSteps, Pair40StepTable) {
    struct Case {
        std::int64_t d;
        int step;
    };
    const Case cases[] = {{100, 0},    {101, 1},     {500, 1},   {501, 5},    {2000, 5},
                          {2001, 20},  {-100, 0},    {-101, -1}, {-500, -1},  {-501, -5},
                          {-2000, -5}, {-2001, -20}, {0, 0},     {65535, 20}, {-70000, -20}};
    for (const Case& c : cases) EXPECT_EQ(ShutterCalibration::Pair40Step(c.d), c.step) << "d = " << c.d;
}

TEST(ShutterCalibrationSteps, LevelMeanFloorsEachPixelFirst) {
    std::vector<std::uint64_t> sums(kFramePixels, 12001);  // 6000.5 per pixel over 2 frames
    EXPECT_EQ(ShutterCalibration::LevelMean(sums, 2), 6000);
    // Half the pixels at 1, half at 2: 1.5 truncates toward zero.
    for (std::size_t i = 0; i < kFramePixels; ++i) sums[i] = i % 2 ? 2 : 1;
    EXPECT_EQ(ShutterCalibration::LevelMean(sums, 1), 1);
}

TEST_F(CalibrationTest, FramesBeforeTheLastOnlyAccumulate) {
    for (double& c : correction.Planes().ShutterOffset()) c = 7.0;
    correction.RequestCalibration(30);
    const auto output = Feed(29, 6000);
    EXPECT_TRUE(calibration.Requested());
    EXPECT_EQ(calibration.AccumulatedFrames(), 29);
    EXPECT_TRUE(sensor.calls.empty());
    EXPECT_EQ(correction.Planes().ShutterOffset()[0], 7.0);
    EXPECT_EQ(output[0], 6007);  // still corrected with the old planes
}

TEST_F(CalibrationTest, UniformSceneAtTheReferenceNeedsNoStep) {
    correction.RequestCalibration(30);
    const auto output = Feed(30, 6000);
    EXPECT_EQ(sensor.calls, kOpenShutter);
    EXPECT_FALSE(calibration.Requested());
    EXPECT_EQ(calibration.AccumulatedFrames(), 0);
    for (double c : correction.Planes().ShutterOffset()) ASSERT_EQ(c, 0.0);
    EXPECT_EQ(output[0], 6000);
    EXPECT_EQ(output[kFramePixels - 1], 6000);
}

TEST_F(CalibrationTest, StepsPair40FromTheRecordedValue) {
    const struct {
        int d;
        int pair40;
    } cases[] = {{101, 2099}, {2000, 2103}, {2001, 2118}, {-101, 2097}, {-2001, 2078}};
    for (const auto& c : cases) {
        sensor.calls.clear();
        sensor.values.pair40 = 2098;
        correction.RequestCalibration(30);
        Feed(30, static_cast<std::uint16_t>(6000 + c.d));
        EXPECT_EQ(sensor.calls, WithStep(c.pair40)) << "d = " << c.d;
        EXPECT_EQ(correction.Planes().ShutterOffset()[0], -c.d);
    }
    sensor.calls.clear();
    correction.RequestCalibration(30);
    Feed(30, 6100);
    EXPECT_EQ(sensor.calls, kOpenShutter);
}

TEST_F(CalibrationTest, FailedStepIsIgnored) {
    sensor.succeed = false;
    correction.RequestCalibration(1);
    Feed(1, 9000);
    EXPECT_EQ(sensor.calls, WithStep(2118));
    EXPECT_EQ(sensor.values.pair40, 2098);
    EXPECT_EQ(correction.Planes().ShutterOffset()[0], -3000.0);
}

TEST_F(CalibrationTest, NewShutterOffsetsFlattenTheSceneFromTheCompletingFrame) {
    auto gain = correction.Planes().Gain();
    for (std::size_t i = 0; i < kFramePixels; ++i) gain[i] = 0.9 + static_cast<double>(i % 7) * 0.05;
    std::vector<std::uint16_t> frame(kFramePixels);
    correction.RequestCalibration(2);
    for (int k = 0; k < 2; ++k) {
        // Two frames per pixel of r and r + 1: the average is r + 0.5.
        for (std::size_t i = 0; i < kFramePixels; ++i) frame[i] = static_cast<std::uint16_t>(5000 + i % 1000 + k);
        correction.CorrectFrame(frame.data(), sensor);
    }
    const auto shutter = correction.Planes().ShutterOffset();
    for (std::size_t i = 0; i < kFramePixels; i += 997) {
        const double mean = (2.0 * (5000 + i % 1000) + 1.0) / 2.0;
        ASSERT_EQ(shutter[i], 6000.0 - mean * gain[i]) << "pixel " << i;
    }
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        ASSERT_GE(frame[i], 5999) << "pixel " << i;
        ASSERT_LE(frame[i], 6001) << "pixel " << i;
    }
}

TEST_F(CalibrationTest, ZeroReferenceAdoptsTheMeasuredMean) {
    calibration.SetReferenceLevel(0);
    correction.RequestCalibration(3);
    const auto output = Feed(3, 4321);
    EXPECT_EQ(calibration.ReferenceLevel(), 4321);
    EXPECT_EQ(sensor.calls, kOpenShutter);
    EXPECT_EQ(correction.Planes().ShutterOffset()[0], 0.0);
    EXPECT_EQ(output[0], 4321);
}

TEST_F(CalibrationTest, NewRequestRestartsTheAverage) {
    correction.RequestCalibration(30);
    Feed(10, 1000);
    correction.RequestCalibration(30);
    EXPECT_EQ(calibration.AccumulatedFrames(), 0);
    Feed(29, 6000);
    EXPECT_TRUE(sensor.calls.empty());
    Feed(1, 6000);
    EXPECT_EQ(sensor.calls, kOpenShutter);
    EXPECT_EQ(correction.Planes().ShutterOffset()[12345], 0.0);
}

TEST_F(CalibrationTest, NoFrameCountBelowOne) {
    correction.RequestCalibration(0);
    EXPECT_EQ(calibration.FramesToAverage(), 1);
    Feed(1, 6000);
    EXPECT_FALSE(calibration.Requested());
    EXPECT_EQ(sensor.calls, kOpenShutter);
}

TEST_F(CalibrationTest, WithoutPlanesStillFinishes) {
    correction.Planes().ReleasePlanes();
    correction.RequestCalibration(2);
    const auto output = Feed(2, 20000);
    EXPECT_FALSE(calibration.Requested());
    EXPECT_EQ(sensor.calls, WithStep(2118));
    EXPECT_EQ(output[0], 16383);
}

TEST_F(CalibrationTest, SaturatesAnExtremeRecordedPair40) {
    sensor.values.pair40 = INT32_MAX;
    correction.RequestCalibration(1);
    Feed(1, 9000);
    EXPECT_EQ(sensor.calls.front(), "SetPair40(" + std::to_string(INT32_MAX) + ")");
}

}  // namespace
}  // namespace calidra
