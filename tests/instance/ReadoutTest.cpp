// Single captures and the readouts of the frames in the ring.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "LiveTestSupport.h"
#include "support/BuildPaths.h"

namespace calidra {
namespace {

using livetest::kColourBytes;
using livetest::kHeight;
using livetest::kPixels;
using livetest::kRawBytes;
using livetest::kTemperatureBytes;
using livetest::kWidth;
using livetest::LiveTest;

class Readout : public LiveTest {
protected:
    std::uint32_t Capture(const std::vector<std::uint16_t>& frame) {
        CalidraSim_SetFrame(0, frame.data());
        const std::uint32_t id = instance->OneShot();
        EXPECT_NE(id, 0u);
        return id;
    }
};

TEST_F(Readout, OneShotStoresTheFrameBottomRowFirst) {
    const std::uint32_t id = Capture(livetest::RampFrame(1000));
    EXPECT_EQ(instance->GetNewId(), id);
    std::vector<std::uint16_t> raw(kPixels);
    ASSERT_EQ(instance->GetRaw(id, raw.data(), kRawBytes), 1);
    // Sensor line 0 leaves the device last.
    EXPECT_EQ(raw[0], 1000 + 479);
    EXPECT_EQ(raw[kPixels - 1], 1000);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Readout, IdZeroIsNeverAFrame) {
    Capture(livetest::FlatFrame(2000));
    ASSERT_EQ(instance->Close(), 1);
    // Every other slot still holds id 0 after the capture prepared the ring.
    std::vector<std::uint16_t> raw(kPixels);
    EXPECT_EQ(instance->GetRaw(0, raw.data(), kRawBytes), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->GetRaw(12345, raw.data(), kRawBytes), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
}

TEST_F(Readout, BufferOfExactlyTheSizePassesAndOneByteLessFails) {
    const std::uint32_t id = Capture(livetest::FlatFrame(2000));
    std::vector<std::uint8_t> buffer(kTemperatureBytes);
    auto* raw = reinterpret_cast<unsigned short*>(buffer.data());
    auto* temperature = reinterpret_cast<float*>(buffer.data());
    EXPECT_EQ(instance->GetRaw(id, raw, kRawBytes), 1);
    EXPECT_EQ(instance->GetColor(id, buffer.data(), kColourBytes), 1);
    EXPECT_EQ(instance->GetTemperature(id, temperature, kTemperatureBytes), 1);
    EXPECT_EQ(instance->GetLastError(), 0);
    EXPECT_EQ(instance->GetRaw(id, raw, kRawBytes - 1), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_MEMORY);
    EXPECT_EQ(instance->GetColor(id, buffer.data(), kColourBytes - 1), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_MEMORY);
    EXPECT_EQ(instance->GetTemperature(id, temperature, kTemperatureBytes - 1), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_MEMORY);
    // A missing buffer is a bad argument, never a write through null.
    EXPECT_EQ(instance->GetRaw(id, nullptr, kRawBytes), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
}

TEST_F(Readout, FlipDisplayReversesEveryReadout) {
    const std::uint32_t id = Capture(livetest::RampFrame(2000));
    std::vector<std::uint16_t> raw(kPixels), rawFlipped(kPixels);
    std::vector<std::uint8_t> colour(kColourBytes), colourFlipped(kColourBytes);
    std::vector<float> degrees(kPixels), degreesFlipped(kPixels);
    ASSERT_EQ(instance->GetRaw(id, raw.data(), kRawBytes), 1);
    ASSERT_EQ(instance->GetColor(id, colour.data(), kColourBytes), 1);
    ASSERT_EQ(instance->GetTemperature(id, degrees.data(), kTemperatureBytes), 1);
    ASSERT_EQ(instance->SetParam(17, 1), 1);
    ASSERT_EQ(instance->GetRaw(id, rawFlipped.data(), kRawBytes), 1);
    ASSERT_EQ(instance->GetColor(id, colourFlipped.data(), kColourBytes), 1);
    ASSERT_EQ(instance->GetTemperature(id, degreesFlipped.data(), kTemperatureBytes), 1);
    for (int k = 0; k < kHeight; k += 7) {
        const std::size_t row = static_cast<std::size_t>(k) * kWidth;
        const std::size_t mirrored = static_cast<std::size_t>(kHeight - 1 - k) * kWidth;
        EXPECT_EQ(rawFlipped[row + 3], raw[mirrored + 3]);
        EXPECT_EQ(degreesFlipped[row + 5], degrees[mirrored + 5]);
        EXPECT_EQ(colourFlipped[3 * row + 7], colour[3 * mirrored + 7]);
    }
    // The first buffer row is sensor line 0 once flipped.
    EXPECT_EQ(rawFlipped[0], 2000);
}

TEST_F(Readout, TemperaturesComeFromTheLevelTable) {
    // The default level table gives 125.0 degrees at level 6485.
    const std::uint32_t id = Capture(livetest::FlatFrame(6485));
    std::vector<float> degrees(kPixels);
    ASSERT_EQ(instance->GetTemperature(id, degrees.data(), kTemperatureBytes), 1);
    EXPECT_NEAR(degrees[1234], 125.0f, 1e-4f);
    // The table's entries take effect at the next conversion.
    ASSERT_EQ(instance->SetOffsetValue(6485, 1.5), 1);
    ASSERT_EQ(instance->GetTemperature(id, degrees.data(), kTemperatureBytes), 1);
    EXPECT_NEAR(degrees[0], 126.5f, 1e-4f);
}

TEST_F(Readout, EverySingleCaptureStartsTheRingAfresh) {
    const std::uint32_t first = Capture(livetest::FlatFrame(2000));
    const std::uint32_t second = Capture(livetest::FlatFrame(2000));
    std::vector<std::uint16_t> raw(kPixels);
    EXPECT_EQ(instance->GetRaw(second, raw.data(), kRawBytes), 1);
    EXPECT_EQ(instance->GetRaw(first, raw.data(), kRawBytes), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
}

TEST_F(Readout, ColoursFollowTheDefaultRangeAndThenTheFrame) {
    std::vector<std::uint16_t> frame = livetest::FlatFrame(2000);
    frame[0] = 1000;  // sensor line 0 is the last row in memory
    frame[1] = 3000;
    const std::uint32_t id = Capture(frame);
    std::vector<std::uint8_t> colour(kColourBytes);
    ASSERT_EQ(instance->GetColor(id, colour.data(), kColourBytes), 1);
    const std::size_t lastRow = static_cast<std::size_t>(kHeight - 1) * kWidth * 3;
    EXPECT_EQ(colour[lastRow + 0], 0);
    EXPECT_EQ(colour[lastRow + 3], 255);
    // Entry 180 of the palette: red 4, green 254, blue 0.
    EXPECT_EQ(colour[2], 4);
    EXPECT_EQ(colour[1], 254);
    EXPECT_EQ(colour[0], 0);
    // The automatic range took the central window of this frame.
    EXPECT_EQ(instance->GetParam(13), 2000 - 120);
    EXPECT_EQ(instance->GetParam(14), 2000 + 120);
}

TEST_F(Readout, TriggerWithoutAnEdgeGivesUpAfterThreeSeconds) {
    const std::uint32_t t0 = Clock::TimeMs();
    EXPECT_EQ(instance->Trigger(), 0u);
    EXPECT_GE(Clock::TimeMs() - t0, 3000u);
    EXPECT_EQ(instance->GetLastError(), ERR_FRAME);
    EXPECT_EQ(instance->GetLastError(), ERR_UNSUPPORTED);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Readout, TriggerCapturesOnAFallingEdge) {
    CalidraSim_SetFrame(0, livetest::FlatFrame(4321).data());
    CalidraSim_SetRegister(0, 7, 0x04);
    CalidraSim_ClearCommandLog(0);
    // The input falls once the capture has seen it high.
    std::thread release([] {
        const std::uint32_t t0 = Clock::TimeMs();
        while (livetest::PacketsReceived(0x26, 7) < 2 && Clock::TimeMs() - t0 < livetest::kHangGuardMs) Clock::Sleep(1);
        CalidraSim_SetRegister(0, 7, 0x00);
    });
    const std::uint32_t id = instance->Trigger();
    release.join();
    EXPECT_EQ(instance->GetNewId(), id);
    std::vector<std::uint16_t> raw(kPixels);
    ASSERT_EQ(instance->GetRaw(id, raw.data(), kRawBytes), 1);
    EXPECT_EQ(raw[100], 4321);
    EXPECT_EQ(instance->GetLastError(), ERR_UNSUPPORTED);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Readout, SaveNeedsAFrameAndAKnownType) {
    const std::string dir = std::string(calidra::test::TempRoot()) + "/instance-save";
    std::filesystem::create_directories(dir);
    const std::wstring path = std::filesystem::path(dir + "/raw.bin").wstring();
    EXPECT_EQ(instance->Save(path.c_str(), 7), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_NO_IMAGE);
    Capture(livetest::FlatFrame(2000));
    EXPECT_EQ(instance->Save(path.c_str(), 14), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->Save(nullptr, 7), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_FILE);
    ASSERT_EQ(instance->Save(path.c_str(), 7), 1);
    EXPECT_EQ(std::filesystem::file_size(dir + "/raw.bin"), kRawBytes);
    const std::wstring floats = std::filesystem::path(dir + "/t.f32").wstring();
    ASSERT_EQ(instance->Save(floats.c_str(), 13), 1);
    EXPECT_EQ(std::filesystem::file_size(dir + "/t.f32"), kTemperatureBytes);
}

TEST_F(Readout, CorrectionDataRoundTrip) {
    const std::string dir = std::string(calidra::test::TempRoot()) + "/instance-nuc";
    std::filesystem::create_directories(dir);
    const std::wstring path = std::filesystem::path(dir + "/planes.cor").wstring();
    ASSERT_EQ(instance->SaveNucData(path.c_str(), FILESAVETYPE_CORSET), 1);
    EXPECT_EQ(instance->LoadNucData(path.c_str(), FILESAVETYPE_CORSET), 1);
    EXPECT_EQ(instance->SaveNucData(path.c_str(), static_cast<FILESAVETYPE>(1)), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_FILE);
    EXPECT_EQ(instance->LoadNucData(L"/nonexistent/calidra.cor", FILESAVETYPE_CORSET), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_FILE);
}

#ifndef _WIN32
// A pipe nobody drains stands for a disk that hangs: frames must go on while a
// correction-data file is being written to it or read from it.
TEST_F(Readout, CorrectionDataOnAStalledDiskLeavesFramesFlowing) {
    const std::string dir = std::string(calidra::test::TempRoot()) + "/instance-nuc-fifo";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string fifo = dir + "/planes.cor";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::wstring path = std::filesystem::path(fifo).wstring();
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;

    auto saved =
        std::async(std::launch::async, [&] { return instance->SaveNucData(path.c_str(), FILESAVETYPE_CORSET); });
    std::ifstream in(fifo, std::ios::binary);
    std::vector<char> bytes(16);
    EXPECT_TRUE(in.read(bytes.data(), 16));  // the save is writing now and waits for us
    // Frames announced before the save began do not count. No early return: the
    // pipe is drained in every case, so the save ends.
    DrainFrames();
    bool flowing = true;
    for (int frame = 0; frame < 3; ++frame) flowing = flowing && NextFrame(id);
    EXPECT_TRUE(flowing);
    bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    EXPECT_EQ(saved.get(), 1);
    EXPECT_EQ(bytes.size(), 48u + 4u * kPixels * 8u);
    EXPECT_EQ(std::string(bytes.data(), 15), "VL-CORSET-V1020");

    auto loaded =
        std::async(std::launch::async, [&] { return instance->LoadNucData(path.c_str(), FILESAVETYPE_CORSET); });
    {
        std::ofstream out(fifo, std::ios::binary);
        out.write(bytes.data(), 4096).flush();
        DrainFrames();
        for (int frame = 0; frame < 3; ++frame) flowing = flowing && NextFrame(id);
        EXPECT_TRUE(flowing);
        out.write(bytes.data() + 4096, static_cast<std::streamsize>(bytes.size() - 4096));
    }
    EXPECT_EQ(loaded.get(), 1);
}
#endif

}  // namespace
}  // namespace calidra
