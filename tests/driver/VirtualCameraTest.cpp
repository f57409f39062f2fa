// The simulated camera as the library sees it through frames and registers:
// shutter, level setting, internal temperature, transfer format, fixed frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "driver/SensorModel.h"
#include "driver/SimTestSupport.h"
#include "driver/TemperatureDrift.h"

namespace calidra::simtest {
namespace {

double RegionMean(const std::vector<std::uint16_t>& frame, int x0, int y0, int x1, int y1) {
    double sum = 0.0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) sum += frame[static_cast<std::size_t>(y) * 640 + x];
    return sum / ((x1 - x0) * (y1 - y0));
}

double Mean(const std::vector<std::uint16_t>& frame) { return RegionMean(frame, 0, 0, 640, 480); }

class VirtualCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0.0);
        // A fixed temperature keeps the sensor level still between frames.
        CalidraSim_SetInternalTemperature(0, sim::TemperatureDrift::kColdReading);
        handle_ = DeviceIo::Open(kPath0);
        ASSERT_NE(handle_, 0u);
    }
    void TearDown() override {
        DeviceIo::Close(handle_);
        CalidraSim_Reset();
    }
    void Pulse(int value) {
        ASSERT_TRUE(WriteReg(handle_, 80, value));
        ASSERT_TRUE(WriteReg(handle_, 80, 0));
    }
    void SetLevelSetting(int value) {
        ASSERT_TRUE(WriteReg(handle_, 40, value & 0xFF));
        ASSERT_TRUE(WriteReg(handle_, 41, (value >> 8) & 0x0F));
    }

    DeviceHandle handle_ = 0;
};

TEST_F(VirtualCameraTest, SceneLooksLikeARoomWithWarmObjects) {
    std::vector<std::uint16_t> frame = ReadFrame(handle_);
    ASSERT_EQ(frame.size(), static_cast<std::size_t>(kPixels));
    // Apart from a handful of dead pixels every level lies well inside the
    // 14-bit range.
    int outside = 0;
    for (std::uint16_t v : frame)
        if (v < 1000 || v > 15000) ++outside;
    EXPECT_LE(outside, sim::SensorModel::kDeadPixelCount);
    // The radiator reads warmer than the window pane.
    EXPECT_GT(RegionMean(frame, 420, 395, 580, 420), RegionMean(frame, 80, 70, 200, 180) + 500.0);
    // Noise: the next frame differs, but not on average.
    std::vector<std::uint16_t> next = ReadFrame(handle_);
    EXPECT_NE(frame, next);
    EXPECT_NEAR(RegionMean(frame, 80, 70, 200, 180), RegionMean(next, 80, 70, 200, 180), 5.0);
}

TEST_F(VirtualCameraTest, ClosedShutterShowsAFlatFieldUntilOpened) {
    std::vector<std::uint16_t> open = ReadFrame(handle_);
    Pulse(32);
    std::vector<std::uint16_t> closed = ReadFrame(handle_);
    double radiatorOpen = RegionMean(open, 420, 395, 580, 420);
    double radiatorClosed = RegionMean(closed, 420, 395, 580, 420);
    double paneClosed = RegionMean(closed, 80, 70, 200, 180);
    EXPECT_GT(radiatorOpen - radiatorClosed, 400.0);
    EXPECT_NEAR(radiatorClosed, paneClosed, 50.0);  // flat apart from the fixed pattern
    // The fixed pattern stays: neighbouring pixels of a closed frame differ.
    EXPECT_NE(closed[1000], closed[1001]);

    Pulse(32);  // closing again keeps it closed
    EXPECT_NEAR(RegionMean(ReadFrame(handle_), 420, 395, 580, 420), radiatorClosed, 20.0);
    Pulse(16);
    EXPECT_NEAR(RegionMean(ReadFrame(handle_), 420, 395, 580, 420), radiatorOpen, 20.0);
}

TEST_F(VirtualCameraTest, LevelSettingShiftsTheWholeSensor) {
    Pulse(32);
    SetLevelSetting(2098);
    double nominal = Mean(ReadFrame(handle_));
    EXPECT_NEAR(nominal, 6000.0, 100.0);
    SetLevelSetting(2118);  // twenty steps up lower the level
    double raised = Mean(ReadFrame(handle_));
    EXPECT_NEAR(nominal - raised, 20.0 * 4, 10.0);
    SetLevelSetting(1800);  // the start-up value reads well above the reference
    EXPECT_GT(Mean(ReadFrame(handle_)), nominal + 1000.0);
}

TEST_F(VirtualCameraTest, WarmingCameraReadsHigher) {
    Pulse(32);
    double cold = Mean(ReadFrame(handle_));
    ASSERT_EQ(CalidraSim_SetInternalTemperature(0, sim::TemperatureDrift::kWarmReading), 1);
    EXPECT_GT(Mean(ReadFrame(handle_)), cold + 200.0);
}

TEST_F(VirtualCameraTest, InternalTemperatureDriftsDownTowardsWarm) {
    sim::TemperatureDrift drift;
    EXPECT_EQ(drift.Reading(0.0), sim::TemperatureDrift::kColdReading);
    EXPECT_EQ(drift.Reading(1e6), sim::TemperatureDrift::kWarmReading);
    // Within the first half minute it moves by more than one unit, so a check
    // every 30 s sees a change.
    EXPECT_LE(drift.Reading(30.0), sim::TemperatureDrift::kColdReading - 2);
    EXPECT_LT(drift.Reading(600.0), drift.Reading(300.0));
    drift.Fix(2356);
    EXPECT_EQ(drift.Reading(600.0), 2356);
}

TEST_F(VirtualCameraTest, TemperatureRegistersAreTheCamerasOwn) {
    CalidraSim_Reset();
    int raw = ReadReg(handle_, 44) | (ReadReg(handle_, 45) << 8);
    EXPECT_GE(raw, sim::TemperatureDrift::kWarmReading);
    EXPECT_LE(raw, sim::TemperatureDrift::kColdReading);
    ASSERT_EQ(CalidraSim_SetRegister(0, 44, 0x34), 1);
    ASSERT_EQ(CalidraSim_SetRegister(0, 45, 0x09), 1);
    EXPECT_EQ(ReadReg(handle_, 44), 0x34);
    EXPECT_EQ(ReadReg(handle_, 45), 0x09);
    EXPECT_TRUE(WriteReg(handle_, 44, 0));  // accepted, but the camera keeps its reading
    EXPECT_EQ(CalidraSim_GetRegister(0, 44), 0x34);
    ASSERT_EQ(CalidraSim_SetInternalTemperature(0, 0x1234), 1);
    EXPECT_EQ(CalidraSim_GetRegister(0, 44), 0x34);
    EXPECT_EQ(CalidraSim_GetRegister(0, 45), 0x12);
}

TEST_F(VirtualCameraTest, StatusRegisterChangesOnlyThroughTheControlApi) {
    EXPECT_EQ(ReadReg(handle_, 7), 0);
    EXPECT_TRUE(WriteReg(handle_, 7, 0xFF));
    EXPECT_EQ(ReadReg(handle_, 7), 0);
    ASSERT_EQ(CalidraSim_SetRegister(0, 7, 0x04), 1);
    EXPECT_EQ(ReadReg(handle_, 7), 0x04);
}

TEST_F(VirtualCameraTest, FixedFrameIsDeliveredExactly) {
    std::vector<std::uint16_t> fixed(kPixels);
    for (int i = 0; i < kPixels; ++i) fixed[i] = static_cast<std::uint16_t>((i * 7) % 16384);
    ASSERT_EQ(CalidraSim_SetFrame(0, fixed.data()), 1);
    fixed[0] = 1;  // the camera copied the pixels
    Pulse(32);
    SetLevelSetting(1000);
    std::vector<std::uint16_t> frame = ReadFrame(handle_);
    ASSERT_EQ(frame.size(), fixed.size());
    EXPECT_EQ(frame[0], 0);
    EXPECT_TRUE(std::equal(frame.begin() + 1, frame.end(), fixed.begin() + 1));
    ASSERT_EQ(CalidraSim_SetFrame(0, nullptr), 1);
    EXPECT_NE(ReadFrame(handle_), frame);
}

TEST_F(VirtualCameraTest, EightBitFormatGivesOneBytePerPixel) {
    std::vector<std::uint16_t> fixed(kPixels, 0x3FC0);
    fixed[1] = 0x0040;
    ASSERT_EQ(CalidraSim_SetFrame(0, fixed.data()), 1);
    ASSERT_TRUE(WriteReg(handle_, 14, 8));
    ASSERT_TRUE(Send(handle_, MakePacket(0x02)));
    std::vector<std::uint8_t> bytes(kPixels);
    std::uint32_t got = 0;
    ASSERT_TRUE(Call(handle_, kCodeIn, 2, bytes.data(), kPixels, &got));
    EXPECT_EQ(got, static_cast<std::uint32_t>(kPixels));
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0x01);
    ASSERT_TRUE(WriteReg(handle_, 14, 9));
    EXPECT_EQ(ReadFrame(handle_)[0], 0x3FC0);
}

TEST_F(VirtualCameraTest, DeadPixelsStayPut) {
    sim::SensorModel model(42);
    std::vector<std::uint16_t> a(kPixels);
    std::vector<std::uint16_t> b(kPixels);
    sim::FrameConditions conditions;
    conditions.baseLevel = 6000;
    model.Render(conditions, a.data());
    conditions.frameNumber = 77;
    conditions.noiseSeed = 12345;
    conditions.shutterClosed = true;
    model.Render(conditions, b.data());
    for (const auto& dead : model.DeadPixels()) {
        EXPECT_EQ(a[dead.index], dead.level);
        EXPECT_EQ(b[dead.index], dead.level);
    }
}

TEST_F(VirtualCameraTest, ResetRestoresPowerOnState) {
    ASSERT_TRUE(WriteReg(handle_, 40, 0x11));
    ASSERT_EQ(CalidraSim_SetPresent(3, 1), 1);
    ASSERT_EQ(CalidraSim_Reset(), 1);
    EXPECT_EQ(CalidraSim_GetRegister(0, 40), 0x32);
    EXPECT_EQ(CalidraSim_GetRegister(0, 14), 9);
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 0);
    EXPECT_EQ(DeviceIo::Open("\\\\.\\Opvo640ULIS-3"), 0u);
}

TEST(SimControlApiTest, RefusesBadArguments) {
    CalidraSim_Reset();
    EXPECT_EQ(CalidraSim_SetPresent(8, 1), 0);
    EXPECT_EQ(CalidraSim_SetPresent(-1, 1), 0);
    EXPECT_EQ(CalidraSim_SetFrameRate(0, -1.0), 0);
    EXPECT_EQ(CalidraSim_SetFrameRate(8, 30.0), 0);
    EXPECT_EQ(CalidraSim_SetFrame(8, nullptr), 0);
    EXPECT_EQ(CalidraSim_SetRegister(0, 256, 1), 0);
    EXPECT_EQ(CalidraSim_SetRegister(0, 40, 256), 0);
    EXPECT_EQ(CalidraSim_SetRegister(0, 40, -1), 0);
    EXPECT_EQ(CalidraSim_GetRegister(0, 256), -1);
    EXPECT_EQ(CalidraSim_GetRegister(9, 0), -1);
    EXPECT_EQ(CalidraSim_SetInternalTemperature(0, 65536), 0);
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 5), 0);
    EXPECT_EQ(CalidraSim_GetCommandLog(8, nullptr, 0), 0);
    EXPECT_EQ(CalidraSim_ClearCommandLog(-1), 0);
    EXPECT_EQ(CalidraSim_InjectFault(0, 5, 1), 0);
    EXPECT_EQ(CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_OPEN, -1), 0);
    EXPECT_EQ(CalidraSim_InjectFault(8, CALIDRA_SIM_FAULT_OPEN, 1), 0);
    EXPECT_EQ(CalidraSim_SetRegister(7, 40, 1), 1);  // an absent camera still has registers
}

}  // namespace
}  // namespace calidra::simtest
