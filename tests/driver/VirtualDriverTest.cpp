// The transport of the virtual driver: device paths, handles, control codes,
// pipes and the faults it can be told to show.
#include <gtest/gtest.h>

#include <thread>

#include "driver/SimTestSupport.h"

namespace calidra::simtest {
namespace {

class VirtualDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0.0);
    }
    void TearDown() override { CalidraSim_Reset(); }
};

TEST_F(VirtualDriverTest, AnswersOnlyTheExactPathsOfPresentCameras) {
    DeviceHandle h = DeviceIo::Open(kPath0);
    EXPECT_NE(h, 0u);
    DeviceIo::Close(h);
    EXPECT_EQ(DeviceIo::Open("\\\\.\\Opvo640ULIS-1"), 0u);  // only camera 0 by default
    EXPECT_EQ(DeviceIo::Open("\\\\.\\Opvo640ULIS-8"), 0u);
    EXPECT_EQ(DeviceIo::Open("\\\\.\\Opvo640ULIS-00"), 0u);
    EXPECT_EQ(DeviceIo::Open("\\\\.\\opvo640ulis-0"), 0u);
    EXPECT_EQ(DeviceIo::Open("Opvo640ULIS-0"), 0u);
    EXPECT_EQ(DeviceIo::Open(""), 0u);

    ASSERT_EQ(CalidraSim_SetPresent(7, 1), 1);
    h = DeviceIo::Open("\\\\.\\Opvo640ULIS-7");
    EXPECT_NE(h, 0u);
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, SeveralHandlesToOneCameraWorkAtOnce) {
    DeviceHandle stream = DeviceIo::Open(kPath0);
    DeviceHandle control = DeviceIo::Open(kPath0);
    ASSERT_NE(stream, 0u);
    ASSERT_NE(control, 0u);
    EXPECT_NE(stream, control);
    EXPECT_TRUE(WriteReg(control, 42, 0x5A));
    DeviceIo::Close(control);
    EXPECT_EQ(ReadReg(stream, 42), 0x5A);
    EXPECT_EQ(ReadFrame(stream).size(), static_cast<std::size_t>(kPixels));
    DeviceIo::Close(stream);
}

TEST_F(VirtualDriverTest, RefusesWhatADriverWouldRefuse) {
    DeviceHandle h = DeviceIo::Open(kPath0);
    ASSERT_NE(h, 0u);
    Packet p = MakePacket(0x25, 42, 1);
    std::uint8_t selector[4] = {0, 0, 0, 0};
    std::uint32_t bytes = 0;
    EXPECT_FALSE(DeviceIo::Control(h, 0x222052, selector, 4, p.data(), 64, &bytes));  // unknown code
    EXPECT_FALSE(DeviceIo::Control(h, kCodeIn, selector, 2, p.data(), 64, &bytes));   // short selector
    EXPECT_FALSE(DeviceIo::Control(h, kCodeIn, nullptr, 4, p.data(), 64, &bytes));
    EXPECT_FALSE(Call(h, kCodeIn, 3, p.data(), 64));  // no such pipe
    EXPECT_FALSE(Call(h, kCodeIn, 0, p.data(), 63));  // packets are 64 bytes
    EXPECT_FALSE(Send(h, MakePacket(0x33)));          // unknown command
    Packet reply{};
    EXPECT_FALSE(Call(h, kCodeOut, 1, reply.data(), 64));  // no reply pending
    std::vector<std::uint8_t> frame(2 * kPixels);
    EXPECT_FALSE(Call(h, kCodeIn, 2, frame.data(), static_cast<std::uint32_t>(frame.size())));  // no start packet
    EXPECT_FALSE(Call(999999, kCodeIn, 0, p.data(), 64));                                       // no such handle
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 0);
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, EitherCodeCarriesAnyPipe) {
    DeviceHandle h = DeviceIo::Open(kPath0);
    Packet start = MakePacket(0x02);
    std::uint32_t bytes = 0;
    EXPECT_TRUE(Call(h, kCodeOut, 0, start.data(), 64, &bytes));  // how the library sends start-frame
    EXPECT_EQ(bytes, 64u);
    std::vector<std::uint8_t> frame(2 * kPixels);
    EXPECT_TRUE(Call(h, kCodeIn, 2, frame.data(), static_cast<std::uint32_t>(frame.size()), &bytes));
    EXPECT_EQ(bytes, frame.size());
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, RegisterReadGivesTwoRepliesWithTheValueInTheSecond) {
    DeviceHandle h = DeviceIo::Open(kPath0);
    ASSERT_TRUE(WriteReg(h, 66, 0xC3));
    ASSERT_TRUE(Send(h, MakePacket(0x26, 66)));
    Packet first{};
    Packet second{};
    std::uint32_t bytes = 0;
    ASSERT_TRUE(Call(h, kCodeOut, 1, first.data(), 64, &bytes));
    EXPECT_EQ(bytes, 64u);
    ASSERT_TRUE(Call(h, kCodeOut, 1, second.data(), 64));
    EXPECT_EQ(second[0], 0xC3);
    EXPECT_FALSE(Call(h, kCodeOut, 1, second.data(), 64));  // nothing more
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, RepliesBelongToTheHandleThatAsked) {
    DeviceHandle a = DeviceIo::Open(kPath0);
    DeviceHandle b = DeviceIo::Open(kPath0);
    ASSERT_TRUE(Send(a, MakePacket(0x26, 14)));
    Packet reply{};
    EXPECT_FALSE(Call(b, kCodeOut, 1, reply.data(), 64));
    EXPECT_TRUE(Call(a, kCodeOut, 1, reply.data(), 64));
    DeviceIo::Close(a);
    DeviceIo::Close(b);
}

TEST_F(VirtualDriverTest, UnpluggingMakesOpenHandlesFailForGood) {
    DeviceHandle h = DeviceIo::Open(kPath0);
    ASSERT_TRUE(WriteReg(h, 42, 1));
    ASSERT_EQ(CalidraSim_SetPresent(0, 0), 1);
    EXPECT_FALSE(WriteReg(h, 42, 2));
    EXPECT_EQ(DeviceIo::Open(kPath0), 0u);
    ASSERT_EQ(CalidraSim_SetPresent(0, 1), 1);
    EXPECT_FALSE(WriteReg(h, 42, 3));  // a handle from before stays dead
    DeviceHandle fresh = DeviceIo::Open(kPath0);
    EXPECT_TRUE(WriteReg(fresh, 42, 4));
    DeviceIo::Close(fresh);
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, UnpluggingWithAFrameAskedForFailsItsTransfer) {
    DeviceHandle h = DeviceIo::Open(kPath0);
    ASSERT_TRUE(Send(h, MakePacket(0x02)));
    ASSERT_EQ(CalidraSim_SetPresent(0, 0), 1);
    std::vector<std::uint8_t> frame(2 * kPixels);
    EXPECT_FALSE(Call(h, kCodeIn, 2, frame.data(), static_cast<std::uint32_t>(frame.size())));
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, InjectedFaultsHappenTheGivenNumberOfTimes) {
    ASSERT_EQ(CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_OPEN, 2), 1);
    EXPECT_EQ(DeviceIo::Open(kPath0), 0u);
    EXPECT_EQ(DeviceIo::Open(kPath0), 0u);
    DeviceHandle h = DeviceIo::Open(kPath0);
    ASSERT_NE(h, 0u);

    ASSERT_EQ(CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 1), 1);
    EXPECT_FALSE(WriteReg(h, 42, 9));
    EXPECT_TRUE(WriteReg(h, 42, 9));
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 1);  // the failed call delivered nothing

    // A lost reply is gone: the next receive gets the packet after it.
    ASSERT_EQ(CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 1), 1);
    ASSERT_TRUE(Send(h, MakePacket(0x26, 42)));
    Packet reply{};
    EXPECT_FALSE(Call(h, kCodeOut, 1, reply.data(), 64));
    EXPECT_TRUE(Call(h, kCodeOut, 1, reply.data(), 64));
    EXPECT_EQ(reply[0], 9);

    ASSERT_EQ(CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 1), 1);
    ASSERT_TRUE(Send(h, MakePacket(0x02)));
    std::vector<std::uint8_t> frame(2 * kPixels);
    std::uint32_t bytes = 0;
    EXPECT_TRUE(Call(h, kCodeIn, 2, frame.data(), static_cast<std::uint32_t>(frame.size()), &bytes));
    EXPECT_LT(bytes, frame.size());
    EXPECT_EQ(ReadFrame(h).size(), static_cast<std::size_t>(kPixels));
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, FrameIsTheRequestedLength) {
    DeviceHandle h = DeviceIo::Open(kPath0);
    std::vector<std::uint16_t> fixed(kPixels);
    for (int i = 0; i < kPixels; ++i) fixed[i] = static_cast<std::uint16_t>(i % 16384);
    ASSERT_EQ(CalidraSim_SetFrame(0, fixed.data()), 1);
    // A 100 x 3 window moves 1024 words; the pixels come first.
    ASSERT_TRUE(Send(h, MakePacket(0x02)));
    std::vector<std::uint8_t> small(2048 + 8, 0xEE);
    std::uint32_t bytes = 0;
    ASSERT_TRUE(Call(h, kCodeIn, 2, small.data(), 2048, &bytes));
    EXPECT_EQ(bytes, 2048u);
    EXPECT_EQ(GetLE16(small.data() + 2 * 299), 299);
    EXPECT_EQ(small[2048], 0xEE);  // nothing beyond the request
    // A request longer than the sensor gets zeros after the frame.
    ASSERT_TRUE(Send(h, MakePacket(0x02)));
    std::vector<std::uint8_t> large(2 * kPixels + 16, 0xEE);
    ASSERT_TRUE(Call(h, kCodeIn, 2, large.data(), static_cast<std::uint32_t>(large.size()), &bytes));
    EXPECT_EQ(bytes, large.size());
    EXPECT_EQ(GetLE16(large.data() + 2 * (kPixels - 1)), (kPixels - 1) % 16384);
    EXPECT_EQ(large[2 * kPixels], 0);
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, CommandLogKeepsEveryAcceptedPacketInOrder) {
    DeviceHandle h = DeviceIo::Open(kPath0);
    ASSERT_TRUE(WriteReg(h, 40, 0x32));
    ASSERT_FALSE(ReadFrame(h).empty());
    ASSERT_EQ(ReadReg(h, 40), 0x32);
    std::vector<Packet> log = CommandLog(0);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], MakePacket(0x25, 40, 0x32));
    EXPECT_EQ(log[1], MakePacket(0x02));
    EXPECT_EQ(log[2], MakePacket(0x26, 40));

    unsigned char one[1][64] = {};
    EXPECT_EQ(CalidraSim_GetCommandLog(0, one, 1), 3);  // the total, though only one was copied
    EXPECT_EQ(one[0][0], 0x25);
    EXPECT_EQ(CalidraSim_ClearCommandLog(0), 1);
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 0);
    DeviceIo::Close(h);
}

TEST_F(VirtualDriverTest, ThreadsSharingACameraAllGetThrough) {
    DeviceHandle stream = DeviceIo::Open(kPath0);
    std::thread frames([stream] {
        for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadFrame(stream).size(), static_cast<std::size_t>(kPixels));
    });
    std::thread registers([] {
        for (int i = 0; i < 200; ++i) {
            DeviceHandle h = DeviceIo::Open(kPath0);
            EXPECT_TRUE(WriteReg(h, 64, i & 0xFF));
            EXPECT_EQ(ReadReg(h, 64), i & 0xFF);
            DeviceIo::Close(h);
        }
    });
    frames.join();
    registers.join();
    DeviceIo::Close(stream);
}

}  // namespace
}  // namespace calidra::simtest
