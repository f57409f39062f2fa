// The device object set up on the virtual camera: frames leave corrected and
// line-reversed, a requested calibration flattens a fixed scene to the
// reference level, and a data set reaches the correction under the device lock.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "calidra_sim.h"
#include "device/COptivo640ULISSdk.h"

namespace calidra {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kPixels = kWidth * kHeight;

class DeviceCorrectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0.0);
        scene_.resize(kPixels);
        // A fixed non-uniform scene: every line and column differs.
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) scene_[y * kWidth + x] = static_cast<std::uint16_t>(1000 + 7 * y + x);
        ASSERT_EQ(CalidraSim_SetFrame(0, scene_.data()), 1);
        device_ = std::make_unique<COptivo640ULISSdk>();
        device_->SetTransferMode(1);
        ASSERT_EQ(device_->StartStream(), 0);
    }
    void TearDown() override {
        device_->StopStream();
        CalidraSim_Reset();
    }

    std::vector<std::uint16_t> NextFrame() {
        std::vector<std::uint16_t> frame(kPixels);
        int code;
        while ((code = device_->WaitFrame()) == 2) {
        }
        EXPECT_EQ(code, 3);
        EXPECT_EQ(device_->ReadStreamFrame(frame.data()), 0);
        return frame;
    }

    std::vector<std::uint16_t> scene_;
    std::unique_ptr<COptivo640ULISSdk> device_;
};

TEST_F(DeviceCorrectionTest, FramesLeaveLineReversedWithTheDefaultPlanes) {
    std::vector<std::uint16_t> frame = NextFrame();
    for (int y = 0; y < kHeight; y += 53)
        for (int x = 0; x < kWidth; x += 97)
            ASSERT_EQ(frame[(kHeight - 1 - y) * kWidth + x], scene_[y * kWidth + x]) << x << "," << y;
}

TEST_F(DeviceCorrectionTest, CalibrationFlattensAFixedSceneToTheReferenceLevel) {
    device_->RequestShutterNuc(30);
    // Frames 1 to 29 only accumulate: they still carry the scene.
    for (int i = 1; i < 30; ++i) {
        std::vector<std::uint16_t> frame = NextFrame();
        ASSERT_EQ(frame[0], scene_[(kHeight - 1) * kWidth]) << "frame " << i;
    }
    // The 30th completes the calibration and is already flat; so is every later one.
    for (int i = 0; i < 3; ++i) {
        std::vector<std::uint16_t> frame = NextFrame();
        for (std::uint16_t v : frame) ASSERT_EQ(v, 6000);
    }
    EXPECT_FALSE(device_->PendingCalibration().requested);
}

TEST_F(DeviceCorrectionTest, MissingOrForeignDataSetLeavesTheCorrection) {
    EXPECT_EQ(device_->LoadDataSet(nullptr), 0);
    EXPECT_EQ(device_->LoadDataSet(L""), 0);
    EXPECT_EQ(device_->LoadDataSet(L"/nonexistent/data.set"), 0);
    std::vector<std::uint16_t> frame = NextFrame();
    EXPECT_EQ(frame[0], scene_[(kHeight - 1) * kWidth]);
    EXPECT_EQ(device_->Correction().Levels().Count(), 16384);
}

}  // namespace
}  // namespace calidra

namespace calidra {
namespace {

TEST(DeviceFrameSlots, ForwardToTheFrameFormatsOfTheCurrentWindow) {
    CalidraSim_Reset();
    COptivo640ULISSdk device;
    device.SetTransferMode(1);
    std::vector<std::uint8_t> source(640 * 480 * 2, 0x11), destination(640 * 480 * 2);
    EXPECT_EQ(device.CopyRawFrame(destination.data(), destination.size(), source.data(), source.size()), 0);
    EXPECT_EQ(destination[614399], 0x11);
    EXPECT_EQ(device.CopyRawFrame(destination.data(), 100, source.data(), source.size()), 14);
    std::vector<std::uint8_t> bgr(3 * 4);
    EXPECT_EQ(device.ConvertRegion(bgr.data(), bgr.size(), source.data(), source.size(), 0, 5, 0, 4, 0), 5);
    EXPECT_EQ(device.ConvertRegion(nullptr, 0, source.data(), source.size(), 0, 0, 0, 3, 0), 14);
    EXPECT_EQ(device.CopyLines(nullptr, 0, source.data(), source.size()), 14);
}

}  // namespace
}  // namespace calidra
