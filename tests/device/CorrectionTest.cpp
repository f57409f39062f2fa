#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "device/BadPixelList.h"
#include "device/CorrectionPlanes.h"
#include "device/FakeSensorSettings.h"
#include "device/PixelCorrection.h"
#include "device/SensorCorrection.h"
#include "device/SensorFrame.h"
#include "support/Lcg.h"
#include "support/ReferencePixel.h"

namespace calidra {
namespace {

using test::Lcg;
using test::ReferencePixel;

std::size_t At(int line, int column) { return static_cast<std::size_t>(line) * kFrameWidth + column; }

// Planes with short decimal values such as a data set holds: many exact results
// then lie on or next to an integer, where one rounding more or less decides
// which side truncation falls on.
void FillDecimalPlanes(CorrectionPlanes& planes, std::vector<std::uint16_t>& frame, std::uint64_t seed) {
    Lcg random(seed);
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        planes.Gain()[i] = 0.8 + (random.Next() % 41) / 100.0;
        planes.Offset()[i] = -50.0 + (random.Next() % 1001) / 10.0;
        planes.ShutterOffset()[i] = -25.0 + (random.Next() % 501) / 10.0;
        planes.Scale()[i] = 0.5 + (random.Next() % 21) / 20.0;
        frame[i] = static_cast<std::uint16_t>(random.Next() % 16384);
    }
}

TEST(CorrectionPlanes, StartWithHeaderOnlyAndInitToIdentity) {
    CorrectionPlanes planes;
    EXPECT_EQ(planes.Width(), 640);
    EXPECT_EQ(planes.Height(), 480);
    EXPECT_EQ(planes.ScaleValue(), 1024.0);
    EXPECT_FALSE(planes.HasPlanes());

    planes.SetFlags(7);
    planes.SetTagValue(0x1234);
    ASSERT_EQ(planes.InitPlanes(640, 480), 1);
    EXPECT_EQ(planes.Flags(), 0);
    EXPECT_EQ(planes.TagValue(), 0x1234);
    EXPECT_EQ(planes.PixelCount(), kFramePixels);
    for (std::size_t i : {std::size_t{0}, kFramePixels / 2, kFramePixels - 1}) {
        EXPECT_EQ(planes.Gain()[i], 1.0);
        EXPECT_EQ(planes.Offset()[i], 0.0);
        EXPECT_EQ(planes.ShutterOffset()[i], 0.0);
        EXPECT_EQ(planes.Scale()[i], 1.0);
    }
}

TEST(CorrectionPlanes, RefusedSizesLeaveNoPlanes) {
    CorrectionPlanes planes;
    ASSERT_EQ(planes.InitPlanes(640, 480), 1);
    EXPECT_EQ(planes.InitPlanes(0, 480), 0);
    EXPECT_FALSE(planes.HasPlanes());
    ASSERT_EQ(planes.InitPlanes(640, 480), 1);
    EXPECT_EQ(planes.InitPlanes(-640, -480), 0);
    EXPECT_FALSE(planes.HasPlanes());
    EXPECT_EQ(planes.InitPlanes(100000, 100000), 0);
    EXPECT_FALSE(planes.HasPlanes());
}

class PixelCorrectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(planes.InitPlanes(640, 480), 1); }
    CorrectionPlanes planes;
    std::vector<std::uint16_t> frame = std::vector<std::uint16_t>(kFramePixels, 0);
};

TEST_F(PixelCorrectionTest, ClampsAndTruncates) {
    const double values[] = {16383.7,
                             -0.5,
                             100.9,
                             16383.0,
                             0.99,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             1e300};
    const std::uint16_t expected[] = {16383, 0, 100, 16383, 0, 0, 16383, 0, 16383};
    for (std::size_t i = 0; i < std::size(values); ++i) planes.Offset()[i] = values[i];
    EXPECT_TRUE(CorrectPixels(frame.data(), planes));
    for (std::size_t i = 0; i < std::size(values); ++i) EXPECT_EQ(frame[i], expected[i]) << "value " << values[i];
}

TEST_F(PixelCorrectionTest, AppliesGainOffsetShutterAndScaleInOrder) {
    planes.Gain()[5] = 2.0;
    planes.Offset()[5] = 0.5;
    planes.ShutterOffset()[5] = 1.25;
    planes.Scale()[5] = 0.5;
    frame[5] = 100;
    frame[6] = 20000;  // a raw level above 14 bits
    CorrectPixels(frame.data(), planes);
    EXPECT_EQ(frame[5], 100);  // ((200 + 0.5) + 1.25) * 0.5 = 100.875
    EXPECT_EQ(frame[6], 16383);
}

TEST_F(PixelCorrectionTest, MissingOrSmallPlanesOnlyClamp) {
    frame[0] = 20000;
    frame[1] = 1234;
    ASSERT_EQ(planes.InitPlanes(640, 479), 1);
    EXPECT_FALSE(CorrectPixels(frame.data(), planes));
    EXPECT_EQ(frame[0], 16383);
    EXPECT_EQ(frame[1], 1234);

    CorrectionPlanes none;
    frame[0] = 65535;
    EXPECT_FALSE(CorrectPixels(frame.data(), none));
    EXPECT_EQ(frame[0], 16383);
    EXPECT_FALSE(CorrectPixels(nullptr, planes));
}

TEST_F(PixelCorrectionTest, DecimalPlanesMatchPlainFormulaBitForBit) {
    std::vector<std::uint16_t> expected(kFramePixels);
    std::size_t fusedDiffers = 0;
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        FillDecimalPlanes(planes, frame, seed);
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            const double a = planes.Gain()[i], b = planes.Offset()[i];
            const double c = planes.ShutterOffset()[i], d = planes.Scale()[i];
            expected[i] = ReferencePixel(frame[i], a, b, c, d);
            // What a fused multiply-add would give: the data must be able to tell.
            const double fused = (std::fma(static_cast<double>(frame[i]), a, b) + c) * d;
            if (fused >= 0 && fused <= 16383.0 && static_cast<std::uint16_t>(fused) != expected[i]) ++fusedDiffers;
        }
        CorrectPixels(frame.data(), planes);
        std::size_t mismatches = 0;
        for (std::size_t i = 0; i < kFramePixels; ++i) mismatches += frame[i] != expected[i];
        EXPECT_EQ(mismatches, 0u) << "seed " << seed;
    }
    EXPECT_GT(fusedDiffers, 0u);
}

TEST(BadPixelList, ReplacesFromTheLineNamedByDirection) {
    std::vector<std::uint16_t> frame(kFramePixels);
    for (std::size_t i = 0; i < kFramePixels; ++i) frame[i] = static_cast<std::uint16_t>(i / kFrameWidth);
    BadPixelList list;
    EXPECT_EQ(list.Width(), 640);
    EXPECT_EQ(list.Height(), 480);
    list.Append({10, 5, 0, 0});    // line 474 from line 475
    list.Append({11, 5, 1, 0});    // line 474 from line 473
    list.Append({12, 0, 0, 0});    // line 479 from line 480: outside, skipped
    list.Append({13, 479, 1, 0});  // line 0 from line -1: skipped
    list.Append({13, 479, 0, 0});  // line 0 from line 1
    list.Append({640, 5, 0, 0});
    list.Append({-1, 5, 0, 0});
    list.Append({14, std::numeric_limits<std::int32_t>::min(), 0, 0});
    list.Append({14, std::numeric_limits<std::int32_t>::max(), 1, 0});
    list.Apply(frame.data());
    EXPECT_EQ(frame[At(474, 10)], 475);
    EXPECT_EQ(frame[At(474, 11)], 473);
    EXPECT_EQ(frame[At(479, 12)], 479);
    EXPECT_EQ(frame[At(0, 13)], 1);
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        const bool replaced = i == At(474, 10) || i == At(474, 11) || i == At(0, 13);
        if (!replaced) {
            ASSERT_EQ(frame[i], i / kFrameWidth) << "pixel " << i;
        }
    }
}

TEST(BadPixelList, EntriesApplyInListOrder) {
    std::vector<std::uint16_t> frame(kFramePixels, 0);
    frame[At(475, 3)] = 9;
    BadPixelList list;
    list.Append({3, 5, 0, 0});  // line 474 takes 9 from line 475
    list.Append({3, 6, 0, 0});  // line 473 takes the new 9 from line 474
    list.Apply(frame.data());
    EXPECT_EQ(frame[At(474, 3)], 9);
    EXPECT_EQ(frame[At(473, 3)], 9);
}

TEST(SensorCorrection, BadPixelsTakeCorrectedValuesAndResetRestoresDefaults) {
    SensorCorrection correction;
    FakeSensorSettings sensor;
    correction.Reset();
    ASSERT_TRUE(correction.Planes().HasPlanes());
    EXPECT_EQ(correction.Levels().Count(), 16384u);
    EXPECT_TRUE(correction.Levels().HasArrays());
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 6000);

    for (double& gain : correction.Planes().Gain()) gain = 2.0;
    correction.BadPixels().Append({10, 5, 0, 0});
    std::vector<std::uint16_t> frame(kFramePixels, 100);
    frame[At(475, 10)] = 300;
    frame[At(474, 10)] = 16000;
    correction.CorrectFrame(frame.data(), sensor);
    EXPECT_EQ(frame[At(475, 10)], 600);
    EXPECT_EQ(frame[At(474, 10)], 600);
    EXPECT_EQ(frame[0], 200);
    EXPECT_TRUE(sensor.calls.empty());

    correction.Calibration().SetReferenceLevel(1);
    correction.Reset();
    EXPECT_EQ(correction.Planes().Gain()[0], 1.0);
    EXPECT_TRUE(correction.BadPixels().Entries().empty());
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 6000);
    EXPECT_EQ(correction.NucTables().Width(), 640);
    EXPECT_TRUE(correction.NucTables().Records().empty());
}

// The frame leaves the device through the one-pass correction into its
// reversed lines: the same picture as correcting in place and reversing after,
// bad pixels (chained, in both directions, and out of bounds) included, with a
// calibration fed from the untouched frame, which stays as it came.
TEST(SensorCorrection, CorrectionIntoReversedLinesMatchesInPlaceThenReversed) {
    SensorCorrection inPlace, reversed;
    FakeSensorSettings sensorA, sensorB;
    std::vector<std::uint16_t> frame(kFramePixels);
    for (std::size_t i = 0; i < kFramePixels; ++i) frame[i] = static_cast<std::uint16_t>(3000 + (i * 7919) % 9000);
    for (SensorCorrection* correction : {&inPlace, &reversed}) {
        correction->Reset();
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            correction->Planes().Gain()[i] = 0.9 + static_cast<double>(i % 21) / 100.0;
            correction->Planes().Offset()[i] = -50.0 + static_cast<double>(i % 1001) / 10.0;
        }
        for (const BadPixel& entry : {BadPixel{3, 5, 0, 0}, BadPixel{3, 6, 0, 0}, BadPixel{7, 0, 1, 0},
                                      BadPixel{639, 479, 1, 0}, BadPixel{8, 479, 0, 0}, BadPixel{-1, 4, 0, 0}})
            correction->BadPixels().Append(entry);
        correction->RequestCalibration(2);
    }
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::uint16_t> expected = frame;
        inPlace.CorrectFrame(expected.data(), sensorA);
        const std::vector<std::uint16_t> untouched = frame;
        std::vector<std::uint16_t> out(kFramePixels);
        reversed.CorrectFrameReversed(frame.data(), out.data(), sensorB);
        EXPECT_EQ(frame, untouched);
        for (int line = 0; line < kFrameHeight; ++line)
            for (int x = 0; x < kFrameWidth; ++x)
                ASSERT_EQ(out[At(kFrameHeight - 1 - line, x)], expected[At(line, x)]) << line << "," << x;
    }
    const auto a = inPlace.Planes().ShutterOffset(), b = reversed.Planes().ShutterOffset();
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
    EXPECT_EQ(sensorA.calls, sensorB.calls);
}

}  // namespace
}  // namespace calidra
