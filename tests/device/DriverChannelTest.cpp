// The channel primitives, the command packets byte for byte, and the device
// object's presence, selection and register exchanges.
#include <gtest/gtest.h>

#include "device/COptivo640ULISSdk.h"
#include "device/CommandPacket.h"
#include "device/DriverChannel.h"
#include "driver/SimTestSupport.h"

namespace calidra {
namespace {

using simtest::CommandLog;
using simtest::MakePacket;
using simtest::Packet;

Packet Bytes(const CommandPacket& packet) {
    Packet bytes{};
    std::copy_n(packet.Data(), 64, bytes.begin());
    return bytes;
}

TEST(CommandPacketTest, CarriesItsArgumentsAndZerosElsewhere) {
    EXPECT_EQ(Bytes(CommandPacket::StartFrame()), MakePacket(0x02));
    EXPECT_EQ(Bytes(CommandPacket::Init()), MakePacket(0x06));
    EXPECT_EQ(Bytes(CommandPacket::TransferMode(true)), MakePacket(0x0A, 1));
    EXPECT_EQ(Bytes(CommandPacket::TransferMode(false)), MakePacket(0x0A, 0));
    EXPECT_EQ(Bytes(CommandPacket::RegisterWrite(18, 320)), MakePacket(0x25, 0x12, 0x40));
    EXPECT_EQ(Bytes(CommandPacket::RegisterRead(50)), MakePacket(0x26, 50));
    Packet length = MakePacket(0x09, 0x00, 0xB0);
    length[3] = 0x04;
    EXPECT_EQ(Bytes(CommandPacket::TransferLength(307200)), length);
    Packet wide = MakePacket(0x09, 0x04, 0x03);
    wide[3] = 0x02;
    wide[4] = 0x01;
    EXPECT_EQ(Bytes(CommandPacket::TransferLength(0x01020304)), wide);
}

class DriverChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0.0);
    }
    void TearDown() override { CalidraSim_Reset(); }
};

TEST_F(DriverChannelTest, OpenAndCloseFollowTheirContract) {
    DeviceHandle handle = 0;
    EXPECT_EQ(OpenChannel(handle, nullptr), 0);
    EXPECT_EQ(OpenChannel(handle, ""), 0);
    EXPECT_EQ(OpenChannel(handle, "\\\\.\\Opvo640ULIS-5"), 0);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(CloseChannel(handle), 0);
    ASSERT_EQ(OpenChannel(handle, simtest::kPath0), 1);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(CloseChannel(handle), 1);
    EXPECT_EQ(handle, 0u);
}

TEST_F(DriverChannelTest, IoTransferChecksBufferThenHandle) {
    std::uint32_t bytes = 77;
    std::uint8_t buffer[64] = {};
    EXPECT_EQ(IoTransfer(0, 0, 64, nullptr, &bytes, kIoctlInDirect), -2);
    EXPECT_EQ(IoTransfer(0, 0, 64, buffer, &bytes, kIoctlInDirect), -3);
    DeviceHandle handle = 0;
    ASSERT_EQ(OpenChannel(handle, simtest::kPath0), 1);
    buffer[0] = 0x06;
    EXPECT_EQ(IoTransfer(handle, kPipeCommand, 64, buffer, &bytes, kIoctlInDirect), 0);
    EXPECT_EQ(bytes, 64u);
    EXPECT_EQ(IoTransfer(handle, kPipeReply, 64, buffer, &bytes, kIoctlOutDirect), -1);  // nothing to receive
    CloseChannel(handle);
}

TEST_F(DriverChannelTest, BlocksFailUnlessTheWholeLengthMoves) {
    std::uint8_t packet[64] = {0x25, 42, 7};
    EXPECT_EQ(SendBlock(0, kPipeCommand, 64, packet), kBlockNoHandle);
    EXPECT_EQ(ReceiveBlock(0, kPipeReply, 64, packet), kBlockNoHandle);
    DeviceHandle handle = 0;
    ASSERT_EQ(OpenChannel(handle, simtest::kPath0), 1);
    EXPECT_EQ(SendBlock(handle, kPipeCommand, 64, packet), kBlockOk);
    EXPECT_EQ(SendBlock(handle, kPipeCommand, 32, packet), kBlockFailed);
    EXPECT_EQ(ReceiveBlock(handle, kPipeReply, 64, packet), kBlockFailed);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 1);
    std::uint8_t start[64] = {0x02};
    std::vector<std::uint8_t> frame(614400);
    ASSERT_EQ(ReceiveBlock(handle, kPipeCommand, 64, start), kBlockOk);
    EXPECT_EQ(SendBlock(handle, kPipeFrame, static_cast<std::uint32_t>(frame.size()), frame.data()), kBlockFailed);
    CloseChannel(handle);
    EXPECT_EQ(CalidraSim_GetRegister(0, 42), 7);
}

class DeviceChannelTest : public DriverChannelTest {
protected:
    void SetUp() override {
        DriverChannelTest::SetUp();
        device_ = std::make_unique<COptivo640ULISSdk>();
        CalidraSim_ClearCommandLog(0);
    }
    std::unique_ptr<COptivo640ULISSdk> device_;
};

TEST_F(DeviceChannelTest, ProbeFindsThePresentCameras) {
    EXPECT_EQ(device_->GetDeviceCount(), 8);
    EXPECT_EQ(device_->IsDevicePresent(0), 1);
    for (int i = 1; i < 8; ++i) EXPECT_EQ(device_->IsDevicePresent(i), 0) << i;
    EXPECT_EQ(device_->IsDevicePresent(8), 0);
    EXPECT_EQ(device_->IsDevicePresent(-1), 0);
    EXPECT_EQ(device_->GetDeviceIndex(), 0);
    EXPECT_STREQ(device_->DevicePath(), "\\\\.\\Opvo640ULIS-0");

    // Presence is what the probe saw; a camera plugged in later needs a new object.
    CalidraSim_SetPresent(3, 1);
    EXPECT_EQ(device_->IsDevicePresent(3), 0);
    COptivo640ULISSdk later;
    EXPECT_EQ(later.IsDevicePresent(3), 1);
}

TEST_F(DeviceChannelTest, SelectDeviceRefusesIndexesOutsideTheRange) {
    ASSERT_EQ(device_->SelectDevice(2), 0);
    EXPECT_STREQ(device_->DevicePath(), "\\\\.\\Opvo640ULIS-2");
    EXPECT_EQ(device_->SelectDevice(8), 22);
    EXPECT_EQ(device_->SelectDevice(-1), 22);
    EXPECT_STREQ(device_->DevicePath(), "\\\\.\\Opvo640ULIS-2");
    EXPECT_EQ(device_->GetDeviceIndex(), 2);
}

TEST_F(DeviceChannelTest, WriteRegisterSendsTheLowByte) {
    EXPECT_EQ(device_->WriteRegister(18, 320), 1);
    std::vector<Packet> log = CommandLog(0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], MakePacket(0x25, 0x12, 0x40));
    EXPECT_EQ(CalidraSim_GetRegister(0, 18), 0x40);
}

TEST_F(DeviceChannelTest, RegisterNumbersBeyondTheMapAreRefusedWithoutTraffic) {
    int value = 99;
    EXPECT_EQ(device_->WriteRegister(256 + 44, 1), 0);
    EXPECT_EQ(device_->WriteRegister(-1, 1), 0);
    EXPECT_EQ(device_->ReadRegister(300, &value), 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 0);
}

TEST_F(DeviceChannelTest, ReadRegisterTakesTheSecondReply) {
    CalidraSim_SetRegister(0, 66, 0x5C);
    int value = -1;
    EXPECT_EQ(device_->ReadRegister(66, &value), 1);
    EXPECT_EQ(value, 0x5C);
    EXPECT_EQ(CommandLog(0).back(), MakePacket(0x26, 66));

    // The first reply lost, the second in: still a good read.
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 1);
    value = -1;
    EXPECT_EQ(device_->ReadRegister(66, &value), 1);
    EXPECT_EQ(value, 0x5C);

    // Both lost: a failed read gives 0.
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 2);
    value = -1;
    EXPECT_EQ(device_->ReadRegister(66, &value), 0);
    EXPECT_EQ(value, 0);

    // The request itself failing gives 0 too.
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 1);
    value = -1;
    EXPECT_EQ(device_->ReadRegister(66, &value), 0);
    EXPECT_EQ(value, 0);
}

TEST_F(DeviceChannelTest, ReadRegisterLeavesItsOutputWhenTheCameraCannotBeOpened) {
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_OPEN, 1);
    int value = 77;
    EXPECT_EQ(device_->ReadRegister(66, &value), 0);
    EXPECT_EQ(value, 77);
}

TEST_F(DeviceChannelTest, CommandSendersSendTheirPackets) {
    device_->SendInitCommand();
    EXPECT_EQ(device_->SetTransferLength(), 1);
    std::vector<Packet> log = CommandLog(0);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], MakePacket(0x06));
    Packet length = MakePacket(0x09, 0x00, 0xB0);
    length[3] = 0x04;
    EXPECT_EQ(log[1], length);
}

TEST_F(DeviceChannelTest, TransferModeAlwaysAsksForWordsAndSetsTheFormatRegister) {
    EXPECT_EQ(device_->SetTransferMode(0), 1);
    EXPECT_EQ(device_->GetTransferMode(), 0);
    EXPECT_EQ(device_->SetTransferMode(1), 1);
    EXPECT_EQ(device_->GetTransferMode(), 1);
    std::vector<Packet> log = CommandLog(0);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], MakePacket(0x0A, 0x01));
    EXPECT_EQ(log[1], MakePacket(0x25, 14, 8));
    EXPECT_EQ(log[2], MakePacket(0x0A, 0x01));
    EXPECT_EQ(log[3], MakePacket(0x25, 14, 9));
}

TEST_F(DeviceChannelTest, WithoutACameraEverythingFailsQuietly) {
    CalidraSim_SetPresent(0, 0);
    COptivo640ULISSdk lonely;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(lonely.IsDevicePresent(i), 0);
    EXPECT_EQ(lonely.WriteRegister(40, 1), 0);
    EXPECT_EQ(lonely.SetPair40(2000), 0);
    EXPECT_EQ(lonely.Sensor().Values().pair40, 2098);
    int value = 5;
    EXPECT_EQ(lonely.ReadRegister(40, &value), 0);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(lonely.SetTransferMode(1), 1);
    EXPECT_EQ(lonely.SetTransferLength(), 1);
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 0);
}

TEST_F(DeviceChannelTest, UnpluggingTheCameraFailsLaterExchanges) {
    EXPECT_EQ(device_->WriteRegister(42, 1), 1);
    CalidraSim_SetPresent(0, 0);
    EXPECT_EQ(device_->WriteRegister(42, 2), 0);
    EXPECT_EQ(device_->ReadInternalTemperature(), 0);
}

}  // namespace
}  // namespace calidra
