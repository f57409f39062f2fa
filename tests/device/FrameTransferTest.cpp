// Frame geometry, the transfer ring's index rules, single captures and the
// stream against the virtual camera.
#include <gtest/gtest.h>

#include <thread>

#include "device/COptivo640ULISSdk.h"
#include "driver/SimTestSupport.h"

namespace calidra {
namespace {

using simtest::CommandLog;
using simtest::MakePacket;
using simtest::Packet;

constexpr int kPixels = 640 * 480;

TEST(TransferRingTest, TransferLengthRoundsUpTo1024) {
    EXPECT_EQ(FrameTransfer::TransferLengthFor(640, 480), 307200u);
    EXPECT_EQ(FrameTransfer::TransferLengthFor(100, 3), 1024u);
    EXPECT_EQ(FrameTransfer::TransferLengthFor(32, 32), 1024u);
    EXPECT_EQ(FrameTransfer::TransferLengthFor(33, 32), 2048u);
}

TEST(TransferRingTest, ReaderJumpsToTheNewestCompleteEntry) {
    TransferRing ring;
    ASSERT_TRUE(ring.Allocate(4, 16));
    ring.SetIndexes(0, 3);  // entry 3 complete: w counts as 4, one pending
    EXPECT_EQ(ring.ClaimNewest(), 1);
    EXPECT_EQ(ring.ReadIndex(), 3);

    ring.SetIndexes(3, 0);  // 0, 1 and 2 complete: 1 is dropped, 2 is claimed
    EXPECT_EQ(ring.ClaimNewest(), 3);
    EXPECT_EQ(ring.ReadIndex(), 2);
    ring.AdvanceRead();
    EXPECT_EQ(ring.ReadIndex(), 3);

    ring.SetIndexes(1, 1);
    EXPECT_EQ(ring.ClaimNewest(), 0);
    EXPECT_EQ(ring.ReadIndex(), 1);
}

TEST(TransferRingTest, WriterSkipsTheReadersEntry) {
    TransferRing ring;
    ASSERT_TRUE(ring.Allocate(4, 16));
    ring.SetIndexes(1, 2);
    ring.Publish(1);
    EXPECT_EQ(ring.WriteIndex(), 3);
    ring.Publish(3);
    EXPECT_EQ(ring.WriteIndex(), 0);
    EXPECT_EQ(ring.ReadIndex(), 2);
}

class FrameTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0.0);
        device_ = std::make_unique<COptivo640ULISSdk>();
        device_->SetTransferMode(1);
        fixed_.resize(kPixels);
        for (int i = 0; i < kPixels; ++i) fixed_[i] = static_cast<std::uint16_t>((i / 640) * 16 + i % 7);
        CalidraSim_SetFrame(0, fixed_.data());
        CalidraSim_ClearCommandLog(0);
    }
    void TearDown() override {
        device_.reset();
        CalidraSim_Reset();
    }
    // Sensor line 479 first: the row order of a bottom-up bitmap.
    bool IsFixedFrameReversed(const std::vector<std::uint16_t>& out) const {
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (out[static_cast<std::size_t>(479 - y) * 640 + x] != fixed_[static_cast<std::size_t>(y) * 640 + x])
                    return false;
        return true;
    }
    // WaitFrame until it gives 3 or 1; a guard against a hang, not a timing.
    int WaitForFrame() {
        for (int i = 0; i < 10000; ++i) {
            int r = device_->WaitFrame();
            if (r == 3 || r == 1) return r;
            if (r == 0) std::this_thread::yield();
        }
        return -1;
    }
    // Reads frames as the acquisition loop does until the stream reports its
    // end (WaitFrame 1), which a stream must reach once its transfers fail.
    int ReadUntilStreamFails() {
        std::vector<std::uint16_t> out(kPixels);
        for (int i = 0; i < 100000; ++i) {
            int r = device_->WaitFrame();
            if (r == 1) return r;
            if (r == 3) device_->ReadStreamFrame(out.data());
            if (r == 0) std::this_thread::yield();
        }
        return -1;
    }

    std::unique_ptr<COptivo640ULISSdk> device_;
    std::vector<std::uint16_t> fixed_;
};

TEST_F(FrameTransferTest, SetWindowRefusesWhatTheSensorCannotRead) {
    EXPECT_EQ(device_->SetWindow(1, 0, 640, 480, 0), 1);
    EXPECT_EQ(device_->SetWindow(0, 0, 3, 480, 0), 1);
    EXPECT_EQ(device_->SetWindow(0, 0, 640, 2, 0), 1);
    EXPECT_EQ(device_->SetWindow(0, 1, 640, 480, 0), 1);
    EXPECT_EQ(device_->SetWindow(-2, 0, 64, 48, 0), 1);
    EXPECT_EQ(device_->SetWindow(0, 0, 640, 480, 4), 1);
    EXPECT_EQ(device_->SetWindow(0, 0, 640, 480, 16), 1);
    EXPECT_EQ(device_->SetWindow(0, 0, 640, 480, 19), 1);
    EXPECT_EQ(device_->SetWindow(0, 0, 640, 480, -1), 1);
    EXPECT_EQ(CalidraSim_GetCommandLog(0, nullptr, 0), 0);
    EXPECT_EQ(device_->SetWindow(0, 0, 640, 480, 17), 0);
    EXPECT_EQ(device_->SetWindow(0, 0, 640, 480, 18), 0);
    EXPECT_EQ(device_->WindowMode(), 18);
}

TEST_F(FrameTransferTest, SmallWindowProgramsHalvedRegistersAndRoundedLength) {
    ASSERT_EQ(device_->SetWindow(10, 21, 100, 3, 2), 0);
    EXPECT_EQ(device_->TransferLength(), 1024u);
    EXPECT_EQ(device_->TransferByteCount(), 2048u);
    std::vector<Packet> log = CommandLog(0);
    ASSERT_EQ(log.size(), 10u);
    EXPECT_EQ(log[0], MakePacket(0x09, 0x00, 0x04));
    EXPECT_EQ(log[1], MakePacket(0x25, 16, 5));
    EXPECT_EQ(log[2], MakePacket(0x25, 17, 10));
    EXPECT_EQ(log[3], MakePacket(0x25, 18, 50));
    EXPECT_EQ(log[4], MakePacket(0x25, 19, 0));
    EXPECT_EQ(log[5], MakePacket(0x25, 0, 255));
    EXPECT_EQ(log[6], MakePacket(0x25, 1, 0x04));
    EXPECT_EQ(log[9], MakePacket(0x25, 0, 0x00));
}

TEST_F(FrameTransferTest, SingleCaptureDeliversTheFrameLineReversed) {
    ASSERT_EQ(device_->CaptureSingle(), 0);
    std::vector<std::uint16_t> out(kPixels);
    ASSERT_EQ(device_->ReadSingleFrame(out.data()), 0);
    EXPECT_TRUE(IsFixedFrameReversed(out));
    EXPECT_EQ(device_->ReadSingleFrame(nullptr), 14);
    std::vector<Packet> log = CommandLog(0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], MakePacket(0x02));
}

TEST_F(FrameTransferTest, SingleCaptureReportsOpenAndTransferFailures) {
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 1);
    EXPECT_EQ(device_->CaptureSingle(), 19);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 2);
    EXPECT_EQ(device_->CaptureSingle(), 19);
    EXPECT_EQ(device_->CaptureSingle(), 0);
    CalidraSim_SetPresent(0, 0);
    EXPECT_EQ(device_->CaptureSingle(), 10);
}

TEST_F(FrameTransferTest, StreamDeliversFramesUntilStopped) {
    ASSERT_EQ(device_->StartStream(), 0);
    EXPECT_EQ(device_->StartStream(), 21);
    std::vector<std::uint16_t> out(kPixels);
    for (int n = 0; n < 5; ++n) {
        ASSERT_EQ(WaitForFrame(), 3);
        ASSERT_EQ(device_->ReadStreamFrame(out.data()), 0);
        EXPECT_TRUE(IsFixedFrameReversed(out));
    }
    EXPECT_EQ(device_->ReadStreamFrame(nullptr), 14);
    EXPECT_EQ(device_->StopStream(), 0);
    EXPECT_EQ(device_->WaitFrame(), 0);
    EXPECT_EQ(device_->StopStream(), 0);
    // The stream asked for every frame with a start-frame packet.
    for (const Packet& p : CommandLog(0)) EXPECT_EQ(p, MakePacket(0x02));
}

TEST_F(FrameTransferTest, StreamForgivesOneShortTransferButNotTwo) {
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 1);
    ASSERT_EQ(device_->StartStream(), 0);
    std::vector<std::uint16_t> out(kPixels);
    ASSERT_EQ(WaitForFrame(), 3);
    ASSERT_EQ(device_->ReadStreamFrame(out.data()), 0);
    EXPECT_TRUE(IsFixedFrameReversed(out));
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 1);
    EXPECT_EQ(ReadUntilStreamFails(), 1);
    EXPECT_EQ(device_->StopStream(), 19);
    EXPECT_EQ(device_->WaitFrame(), 0);
}

TEST_F(FrameTransferTest, StreamWithoutACameraEndsWithTen) {
    CalidraSim_SetPresent(0, 0);
    ASSERT_EQ(device_->StartStream(), 0);
    // However soon it is asked, the stop reports why the stream ended.
    EXPECT_EQ(device_->StopStream(), 10);
}

TEST_F(FrameTransferTest, UnpluggingEndsARunningStream) {
    ASSERT_EQ(device_->StartStream(), 0);
    ASSERT_EQ(WaitForFrame(), 3);
    CalidraSim_SetPresent(0, 0);
    EXPECT_EQ(ReadUntilStreamFails(), 1);
    EXPECT_EQ(device_->StopStream(), 19);
}

TEST_F(FrameTransferTest, StreamCanBeRestartedAfterItEndedByItself) {
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 2);  // the start packet and the transfer
    ASSERT_EQ(device_->StartStream(), 0);
    ASSERT_EQ(ReadUntilStreamFails(), 1);
    ASSERT_EQ(device_->StartStream(), 0);
    EXPECT_EQ(WaitForFrame(), 3);
    EXPECT_EQ(device_->StopStream(), 0);
}

TEST_F(FrameTransferTest, WindowCannotChangeUnderARunningStream) {
    ASSERT_EQ(device_->StartStream(), 0);
    EXPECT_EQ(device_->SetWindow(0, 0, 320, 240, 0), 1);
    EXPECT_EQ(device_->TransferLength(), 307200u);
    EXPECT_EQ(device_->StopStream(), 0);
    EXPECT_EQ(device_->SetWindow(0, 0, 320, 240, 0), 0);
}

TEST_F(FrameTransferTest, DestroyingTheDeviceEndsItsStream) {
    ASSERT_EQ(device_->StartStream(), 0);
    ASSERT_EQ(WaitForFrame(), 3);
    device_.reset();
}

TEST_F(FrameTransferTest, RegisterTrafficRunsBesideTheStream) {
    CalidraSim_SetFrameRate(0, 200.0);
    ASSERT_EQ(device_->StartStream(), 0);
    std::thread reader([this] {
        std::vector<std::uint16_t> out(kPixels);
        for (int n = 0; n < 20; ++n) {
            if (WaitForFrame() != 3) break;
            device_->ReadStreamFrame(out.data());
            EXPECT_TRUE(IsFixedFrameReversed(out));
        }
    });
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(device_->SetPair66(i * 50), 1);
        EXPECT_NE(device_->ReadInternalTemperature(), 0);
    }
    reader.join();
    EXPECT_EQ(device_->StopStream(), 0);
}

}  // namespace
}  // namespace calidra
