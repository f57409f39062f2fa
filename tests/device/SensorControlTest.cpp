// Sensor control through the register traffic the camera receives: the
// setters' splitting and read-modify-write, the initialisation and shutter
// sequences, the temperature read-out, and camera set-up in order.
#include <gtest/gtest.h>

#include "device/COptivo640ULISSdk.h"
#include "driver/SimTestSupport.h"

namespace calidra {
namespace {

using simtest::CommandLog;
using simtest::MakePacket;
using simtest::Packet;

Packet Write(int reg, int value) {
    return MakePacket(0x25, static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value));
}
Packet Read(int reg) { return MakePacket(0x26, static_cast<std::uint8_t>(reg)); }

class SensorControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0.0);
        device_ = std::make_unique<COptivo640ULISSdk>();
        CalidraSim_ClearCommandLog(0);
    }
    void TearDown() override { CalidraSim_Reset(); }
    std::unique_ptr<COptivo640ULISSdk> device_;
};

TEST_F(SensorControlTest, PairSettersSplitTwelveBits) {
    EXPECT_EQ(device_->SetPair40(2098), 1);
    EXPECT_EQ(device_->SetPair42(0x1FFF), 1);  // bits above 11 do not travel
    EXPECT_EQ(device_->SetPair70(2854), 1);
    std::vector<Packet> expected = {Write(40, 0x32), Write(41, 0x08), Write(42, 0xFF),
                                    Write(43, 0x0F), Write(70, 0x26), Write(71, 0x0B)};
    EXPECT_EQ(CommandLog(0), expected);
    EXPECT_EQ(device_->Sensor().Values().pair40, 2098);
    EXPECT_EQ(device_->Sensor().Values().pair42, 0x1FFF);
}

TEST_F(SensorControlTest, FailedPairWriteKeepsTheRecordedValue) {
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 1);
    EXPECT_EQ(device_->SetPair64(1000), 0);
    EXPECT_EQ(device_->Sensor().Values().pair64, 1660);
    EXPECT_EQ(device_->SetPair64(1000), 1);
    EXPECT_EQ(device_->Sensor().Values().pair64, 1000);
}

TEST_F(SensorControlTest, Word49KeepsBitSevenOfRegister50) {
    CalidraSim_SetRegister(0, 50, 0x80);
    EXPECT_EQ(device_->SetWord49(636), 1);
    std::vector<Packet> expected = {Read(50), Write(49, 0x7C), Write(50, 0x82)};
    EXPECT_EQ(CommandLog(0), expected);
    EXPECT_EQ(device_->Sensor().Values().word49, 636);

    CalidraSim_SetRegister(0, 50, 0x7F);
    CalidraSim_ClearCommandLog(0);
    EXPECT_EQ(device_->SetWord49(0x7FFF), 1);
    expected = {Read(50), Write(49, 0xFF), Write(50, 0x7F)};
    EXPECT_EQ(CommandLog(0), expected);
}

TEST_F(SensorControlTest, Register48FieldsKeepTheOtherBits) {
    CalidraSim_SetRegister(0, 48, 0x02);
    EXPECT_EQ(device_->SetReg48Bit3(1), 0);
    EXPECT_EQ(CalidraSim_GetRegister(0, 48), 0x0A);
    CalidraSim_SetRegister(0, 48, 0x0E);
    EXPECT_EQ(device_->SetReg48Bit2(0), 0);
    EXPECT_EQ(CalidraSim_GetRegister(0, 48), 0x0A);
    CalidraSim_SetRegister(0, 48, 0xF1);
    EXPECT_EQ(device_->SetReg48Mode(6), 1);  // only bits 0-1 of the value
    EXPECT_EQ(CalidraSim_GetRegister(0, 48), 0xF2);
    EXPECT_EQ(device_->Sensor().Values().reg48Mode, 6);
    std::vector<Packet> expected = {Read(48), Write(48, 0x0A), Read(48), Write(48, 0x0A), Read(48), Write(48, 0xF2)};
    EXPECT_EQ(CommandLog(0), expected);
}

TEST_F(SensorControlTest, ReadModifyWriteWritesNothingWhenTheReadFails) {
    CalidraSim_SetRegister(0, 50, 0x80);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 2);
    EXPECT_EQ(device_->SetWord49(100), 0);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 2);
    EXPECT_EQ(device_->SetReg48Bit2(1), -1);
    std::vector<Packet> expected = {Read(50), Read(48)};
    EXPECT_EQ(CommandLog(0), expected);
    EXPECT_EQ(CalidraSim_GetRegister(0, 50), 0x80);
    EXPECT_EQ(device_->Sensor().Values().word49, 636);
}

TEST_F(SensorControlTest, TriggerModeWritesRegister11AndReadsRegister20) {
    EXPECT_EQ(device_->SetTriggerMode(0), 1);
    EXPECT_EQ(device_->Sensor().TriggerFlag(), 0);
    EXPECT_EQ(device_->SetTriggerMode(5), 1);
    EXPECT_EQ(device_->Sensor().TriggerFlag(), 1);
    std::vector<Packet> expected = {Write(11, 0), Read(20), Write(11, 1), Read(20)};
    EXPECT_EQ(CommandLog(0), expected);
    CalidraSim_SetPresent(0, 0);
    EXPECT_EQ(device_->SetTriggerMode(0), 0);
    EXPECT_EQ(device_->Sensor().TriggerFlag(), 1);
}

TEST_F(SensorControlTest, InternalTemperatureJoinsRegisters44And45) {
    CalidraSim_SetRegister(0, 44, 0x34);
    CalidraSim_SetRegister(0, 45, 0x09);
    EXPECT_EQ(device_->ReadInternalTemperature(), 2356);
    std::vector<Packet> expected = {Read(44), Read(45)};
    EXPECT_EQ(CommandLog(0), expected);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 2);  // the low byte's read fails
    EXPECT_EQ(device_->ReadInternalTemperature(), 0);
}

TEST_F(SensorControlTest, ShutterRequestClosesAndArmsTheCalibration) {
    EXPECT_EQ(device_->PendingCalibration().requested, false);
    EXPECT_EQ(device_->RequestShutterNuc(30), 1);
    std::vector<Packet> expected = {Write(80, 32), Write(80, 0), Write(80, 32), Write(80, 0)};
    EXPECT_EQ(CommandLog(0), expected);
    COPVSdkLib::CalibrationRequest request = device_->PendingCalibration();
    EXPECT_TRUE(request.requested);
    EXPECT_EQ(request.framesToAverage, 30);
}

std::vector<Packet> SetupSequence() {
    Packet length = MakePacket(0x09, 0x00, 0xB0);
    length[3] = 0x04;
    return {
        // Transfer mode 0, init command.
        MakePacket(0x0A, 0x01),
        Write(14, 8),
        MakePacket(0x06),
        // Initialisation: register 84, an open pulse, the start-up values.
        Write(84, 0),
        Write(80, 0),
        Write(80, 16),
        Write(80, 0),
        Read(50),
        Write(49, 270 & 0xFF),
        Write(50, 0x81),  // SetWord49(270), register 50 at 0x80
        Read(48),
        Write(48, 0x00),  // SetReg48Mode(0), register 48 at 0x03
        Write(40, 0x08),
        Write(41, 0x07),  // 1800
        Write(42, 0x11),
        Write(43, 0x04),  // 1041
        Write(64, 0x7C),
        Write(65, 0x06),  // 1660
        Write(66, 0x83),
        Write(67, 0x0D),  // 3459
        Write(68, 0xAC),
        Write(69, 0x08),  // 2220
        Write(70, 0x26),
        Write(71, 0x0B),  // 2854
        Read(48),
        Write(48, 0x04),
        Read(48),
        Write(48, 0x0C),
        // The full window: buffers and transfer length, window registers,
        // then the length into registers 0 to 3.
        length,
        Write(16, 0),
        Write(17, 0),
        Write(18, 64),
        Write(19, 239),
        Write(0, 255),
        Write(1, 0xB0),
        Write(2, 0x04),
        Write(3, 0x00),
        Write(0, 0x00),
    };
}

TEST_F(SensorControlTest, SetupSendsTheWholeSequenceInOrder) {
    CalidraSim_SetRegister(0, 50, 0x80);
    CalidraSim_SetRegister(0, 48, 0x03);
    ASSERT_EQ(device_->SetupCamera(0), 0);
    EXPECT_EQ(CommandLog(0), SetupSequence());
}

TEST_F(SensorControlTest, SetupRecordsTheDefaultsNotWhatItSent) {
    device_->SetPair40(1234);
    device_->SetTriggerMode(1);
    device_->SetTransferMode(1);
    ASSERT_EQ(device_->SetupCamera(0), 0);
    EXPECT_EQ(CalidraSim_GetRegister(0, 40) | (CalidraSim_GetRegister(0, 41) << 8), 1800);
    const SensorSettingValues& values = device_->Sensor().Values();
    EXPECT_EQ(values.pair40, 2098);
    EXPECT_EQ(values.word49, 636);
    EXPECT_EQ(values.reg48Mode, 2);
    EXPECT_EQ(values.pair42, 1041);
    EXPECT_EQ(values.pair64, 1660);
    EXPECT_EQ(values.pair66, 3459);
    EXPECT_EQ(values.pair68, 2220);
    EXPECT_EQ(values.pair70, 2854);
    EXPECT_EQ(device_->Sensor().TriggerFlag(), 0);
    EXPECT_EQ(device_->GetTransferMode(), 0);
    EXPECT_EQ(device_->WindowWidth(), 640);
    EXPECT_EQ(device_->WindowHeight(), 480);
    EXPECT_EQ(device_->TransferLength(), 307200u);
}

TEST_F(SensorControlTest, SetupOfAnIndexOutOfRangeResetsOnlyTheFlags) {
    device_->SetTriggerMode(1);
    device_->SetTransferMode(1);
    device_->SetPair40(1234);
    CalidraSim_ClearCommandLog(0);
    EXPECT_EQ(device_->SetupCamera(8), 22);
    EXPECT_EQ(device_->Sensor().TriggerFlag(), 0);
    EXPECT_EQ(device_->GetTransferMode(), 0);
    EXPECT_EQ(device_->Sensor().Values().pair40, 1234);
    EXPECT_EQ(device_->GetDeviceIndex(), 0);
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 0);
}

TEST_F(SensorControlTest, ConstructionSetsCameraZeroUp) {
    CalidraSim_Reset();
    CalidraSim_SetRegister(0, 50, 0x80);
    CalidraSim_SetRegister(0, 48, 0x03);
    COptivo640ULISSdk fresh;
    EXPECT_EQ(CommandLog(0), SetupSequence());
    EXPECT_EQ(fresh.PendingCalibration().framesToAverage, 30);
    EXPECT_FALSE(fresh.PendingCalibration().requested);
}

TEST_F(SensorControlTest, SetupOfAnotherCameraTalksToItAlone) {
    CalidraSim_SetPresent(2, 1);
    COptivo640ULISSdk device;
    CalidraSim_ClearCommandLog(0);
    ASSERT_EQ(device.SetupCamera(2), 0);
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 0);
    EXPECT_EQ(CalidraSim_GetCommandLog(2, nullptr, 0), static_cast<int>(SetupSequence().size()));
    EXPECT_EQ(CalidraSim_GetRegister(2, 14), 8);
}

}  // namespace
}  // namespace calidra
