// Live acquisition on the virtual camera: starting, pausing, calibration
// hold-off, frame ids, the end of a stream, closing and destroying.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "LiveTestSupport.h"
#include "support/BuildPaths.h"
#include "support/ThreadCount.h"

namespace calidra {
namespace {

using livetest::kHangGuardMs;
using livetest::LiveTest;
using test::ThreadsOfThisProcess;

class Acquisition : public LiveTest {
protected:
    void SetUp() override {
        LiveTest::SetUp();
        CalidraSim_SetFrameRate(0, 100);
    }
};

TEST_F(Acquisition, PreviewPostsFramesWhoseIdsTheRingHolds) {
    EXPECT_EQ(instance->GetNewId(), 0u);
    ASSERT_EQ(instance->Preview(), 1);
    EXPECT_EQ(instance->GetParam(5), 1);
    // Starting re-applies the temperature range, which this camera does not have.
    EXPECT_EQ(instance->GetLastError(), ERR_UNSUPPORTED);
    std::set<std::uint32_t> seen;
    for (int i = 0; i < 5; ++i) {
        std::uint32_t id = 0;
        ASSERT_TRUE(NextFrame(id));
        EXPECT_NE(id, 0u);
        seen.insert(id);
        // The newest id is this one, or a newer one whose message is on its way.
        const std::uint32_t newest = instance->GetNewId();
        if (newest != id) {
            std::uint32_t next = 0;
            ASSERT_TRUE(NextFrame(next));
            seen.insert(next);
            EXPECT_EQ(newest, next);
        }
    }
    EXPECT_GE(seen.size(), 5u);
    EXPECT_EQ(instance->Close(), 1);
    EXPECT_EQ(instance->GetParam(5), 0);
    EXPECT_FALSE(instance->AcquisitionThreadRunning());
}

TEST_F(Acquisition, PreviewTwiceMakesOneThread) {
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    ASSERT_TRUE(NextFrame(id));
    const int threads = ThreadsOfThisProcess();
    EXPECT_EQ(instance->Preview(), 1);
    EXPECT_LE(ThreadsOfThisProcess(), threads);  // none started; one of earlier may still be ending
    ASSERT_TRUE(NextFrame(id));
    instance->Close();
    EXPECT_EQ(instance->Close(), 1);  // idle: nothing more to do
}

TEST_F(Acquisition, PauseStopsPostingAndStartResumesWithTheNewestFrame) {
    CalidraSim_SetFrame(0, livetest::FlatFrame(3000).data());
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    ASSERT_TRUE(NextFrame(id));
    EXPECT_EQ(instance->Pause(), 1);
    EXPECT_EQ(instance->GetParam(6), 1);
    // At most the frame under way when the flag was set is still posted.
    ASSERT_TRUE(livetest::WaitForTransfers(8));
    DrainFrames();
    const std::uint32_t newest = instance->GetNewId();
    // The camera goes on delivering; the ring and the window see none of it.
    CalidraSim_SetFrame(0, livetest::FlatFrame(7000).data());
    ASSERT_TRUE(livetest::WaitForTransfers(8));
    EXPECT_EQ(DrainFrames(), 0);
    EXPECT_EQ(instance->GetNewId(), newest);

    EXPECT_EQ(instance->Start(), 1);
    ASSERT_TRUE(NextFrame(id));
    std::vector<std::uint16_t> raw(livetest::kPixels);
    ASSERT_EQ(instance->GetRaw(id, raw.data(), livetest::kRawBytes), 1);
    EXPECT_EQ(raw[0], 7000);
    EXPECT_EQ(raw[livetest::kPixels - 1], 7000);
}

TEST_F(Acquisition, TheRingHoldsTheLastThirtyFrames) {
    ASSERT_EQ(instance->Preview(), 1);
    std::vector<std::uint32_t> posted;
    std::uint32_t id = 0;
    while (posted.size() < 40) {
        ASSERT_TRUE(NextFrame(id));
        posted.push_back(id);
    }
    // Once closed, every stored frame has been posted, and the ring keeps them.
    ASSERT_EQ(instance->Close(), 1);
    ClearErrorStack();
    while (NextFrame(id, 0)) posted.push_back(id);
    std::vector<std::uint16_t> raw(livetest::kPixels);
    for (std::size_t back = 1; back <= 30; ++back)
        EXPECT_EQ(instance->GetRaw(posted[posted.size() - back], raw.data(), livetest::kRawBytes), 1) << back;
    EXPECT_EQ(instance->GetLastError(), 0);
    EXPECT_EQ(instance->GetRaw(posted[posted.size() - 31], raw.data(), livetest::kRawBytes), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->GetNewId(), posted.back());
}

TEST_F(Acquisition, TemperatureOfAnOlderFrameConvertsThatFrame) {
    // The default level table gives 0.0 degrees at level 2595 and 125.0 at 6485.
    CalidraSim_SetFrame(0, livetest::FlatFrame(2595).data());
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t cold = 0;
    ASSERT_TRUE(NextFrame(cold));
    CalidraSim_SetFrame(0, livetest::FlatFrame(6485).data());
    std::vector<float> degrees(livetest::kPixels);
    std::uint32_t hot = 0;
    do {
        ASSERT_TRUE(NextFrame(hot));
        ASSERT_EQ(instance->GetTemperature(hot, degrees.data(), livetest::kTemperatureBytes), 1);
    } while (degrees[0] < 100.0f);
    ASSERT_EQ(instance->Close(), 1);
    ASSERT_EQ(instance->GetTemperature(cold, degrees.data(), livetest::kTemperatureBytes), 1);
    EXPECT_NEAR(degrees[777], 0.0f, 1e-4f);
    ASSERT_EQ(instance->GetTemperature(hot, degrees.data(), livetest::kTemperatureBytes), 1);
    EXPECT_NEAR(degrees[777], 125.0f, 1e-4f);
}

TEST_F(Acquisition, NucHoldsFramesOffForTheHoldOffTime) {
    ASSERT_EQ(instance->SetParam(10, 1500), 1);
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    ASSERT_TRUE(NextFrame(id));
    const std::uint32_t requested = Clock::TimeMs();
    EXPECT_EQ(instance->Nuc(), 1);
    // Frames stored before the request are already posted or on their way.
    DrainFrames();
    std::set<std::uint32_t> before;
    before.insert(instance->GetNewId());
    std::uint32_t next = 0;
    do {
        ASSERT_TRUE(NextFrame(next));
    } while (before.count(next) != 0);
    EXPECT_GE(Clock::TimeMs() - requested, 1500u);
}

TEST_F(Acquisition, FirstPreviewWithAutomaticCalibrationStartsWithAHoldOff) {
    // The first temperature check of an instance always sees a change, once
    // the clock has passed the 30 s check interval (not yet on a just-booted machine).
    while (Clock::TimeMs() <= 30000u) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(instance->SetParam(15, 1), 1);
    ASSERT_EQ(instance->SetParam(10, 1000), 1);
    CalidraSim_ClearCommandLog(0);
    const std::uint32_t started = Clock::TimeMs();
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    ASSERT_TRUE(NextFrame(id));
    EXPECT_GE(Clock::TimeMs() - started, 1000u);
}

TEST_F(Acquisition, OneShotWhilePreviewingReturnsZeroWithoutACode) {
    ASSERT_EQ(instance->Preview(), 1);
    ClearErrorStack();
    EXPECT_EQ(instance->OneShot(), 0u);
    EXPECT_EQ(instance->Trigger(), 0u);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Acquisition, SelectingACameraWhilePreviewingIsRefused) {
    ASSERT_EQ(instance->Preview(), 1);
    ClearErrorStack();
    EXPECT_EQ(instance->SelectCamera(0), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_CAMERA);
    std::uint32_t id = 0;
    EXPECT_TRUE(NextFrame(id));
    instance->Close();
    EXPECT_EQ(instance->SelectCamera(0), 1);
}

TEST_F(Acquisition, AStreamThatDiesEndsAcquisitionUntilClose) {
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    ASSERT_TRUE(NextFrame(id));
    CalidraSim_SetPresent(0, 0);  // unplugged
    ASSERT_TRUE(NextError(ERR_STREAM_END));
    EXPECT_EQ(instance->GetParam(5), 1);
    // Still previewing as far as Preview is concerned, but nothing arrives.
    EXPECT_EQ(instance->Preview(), 1);
    DrainFrames();
    CalidraSim_SetPresent(0, 1);
    EXPECT_FALSE(NextFrame(id, 1000));
    EXPECT_EQ(instance->OneShot(), 0u);
    instance->Close();
    EXPECT_EQ(instance->GetParam(5), 0);
    // After Close a new preview runs again.
    ASSERT_EQ(instance->Preview(), 1);
    EXPECT_TRUE(NextFrame(id));
}

TEST_F(Acquisition, PreviewOfAnAbsentCameraFailsAndStaysIdle) {
    CalidraSim_SetPresent(0, 0);
    CCalidra absent;
    absent.Init(nullptr);
    EXPECT_EQ(absent.Preview(), 0);
    EXPECT_EQ(absent.GetLastError(), ERR_CAMERA);
    EXPECT_EQ(absent.GetParam(5), 0);
    EXPECT_EQ(absent.OneShot(), 0u);
    EXPECT_EQ(absent.GetLastError(), ERR_CAMERA);
}

TEST_F(Acquisition, DestroyingAPreviewingInstanceStopsItsThread) {
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    ASSERT_TRUE(NextFrame(id));
    instance.reset();
    DrainFrames();
    EXPECT_FALSE(NextFrame(id, 300));
}

TEST_F(Acquisition, ALongPeriodDoesNotHoldUpClose) {
    ASSERT_EQ(instance->SetParam(9, 600000), 1);
    ASSERT_EQ(instance->Preview(), 1);
    const std::uint32_t t0 = Clock::TimeMs();
    EXPECT_EQ(instance->Close(), 1);
    EXPECT_LT(Clock::TimeMs() - t0, kHangGuardMs);
}

TEST_F(Acquisition, FrameRateIsMeasured) {
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    const std::uint32_t t0 = Clock::TimeMs();
    while (instance->GetParam(3) == 0 && Clock::TimeMs() - t0 < kHangGuardMs) ASSERT_TRUE(NextFrame(id));
    EXPECT_GT(instance->GetParam(3), 0);
}

class Recording : public Acquisition {
protected:
    void SetUp() override {
        Acquisition::SetUp();
        // One folder per test: ctest runs the tests of this file side by side.
        dir = std::filesystem::path(calidra::test::TempRoot()) / "instance-recording" /
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    std::filesystem::path dir;
};

TEST_F(Recording, RawStreamFromTheWishUntilKindZero) {
    const std::wstring path = (dir / "live.raw").wstring();
    // A wish made while idle is acted on when the loop starts.
    ASSERT_EQ(instance->Record(path.c_str(), 1), 1);
    EXPECT_EQ(instance->GetParam(4), 1);
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(NextFrame(id));
    EXPECT_EQ(instance->GetParam(7), 1);
    ASSERT_EQ(instance->Record(nullptr, 0), 1);
    // The loop closes the file at its next frame; messages already queued may
    // announce frames from before the request, so wait for the state itself.
    for (int i = 0; i < 300 && instance->GetParam(7) != 0; ++i) ASSERT_TRUE(NextFrame(id));
    EXPECT_EQ(instance->GetParam(7), 0);
    instance->Close();
    const auto size = std::filesystem::file_size(dir / "live.raw");
    EXPECT_GT(size, 0u);
    EXPECT_EQ(size % livetest::kRawBytes, 0u);
}

TEST_F(Recording, ASizeLimitSplitsIntoNumberedFiles) {
    const std::wstring path = (dir / "clip.avi").wstring();
    ASSERT_EQ(instance->SetParam(11, 0), 1);
    // Asked for before the preview, so every announced frame was appended first.
    ASSERT_EQ(instance->Record(path.c_str(), 2), 1);
    ASSERT_EQ(instance->Preview(), 1);
    std::uint32_t id = 0;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(NextFrame(id));
    instance->Close();
    EXPECT_TRUE(std::filesystem::exists(dir / "clip.avi"));
    EXPECT_TRUE(std::filesystem::exists(dir / "clip_1.avi"));
    EXPECT_TRUE(std::filesystem::exists(dir / "clip_2.avi"));
}

TEST_F(Recording, AFileThatCannotBeOpenedIsReported) {
    ASSERT_EQ(instance->Record(L"/nonexistent/calidra/x.raw", 1), 1);
    ASSERT_EQ(instance->Preview(), 1);
    EXPECT_TRUE(NextError(ERR_FILE));
    std::uint32_t id = 0;
    EXPECT_TRUE(NextFrame(id));
    EXPECT_EQ(instance->GetParam(7), 0);
}

TEST_F(Recording, NamesOfAnyLengthAreKeptWholeAndFailOnlyAtTheOpen) {
    const std::wstring tooLong = dir.wstring() + L"/" + std::wstring(5000, L'a') + L".raw";
    EXPECT_EQ(instance->Record(tooLong.c_str(), 3), 1);
    EXPECT_EQ(instance->GetParam(4), 3);
    ASSERT_EQ(instance->Preview(), 1);
    EXPECT_TRUE(NextError(ERR_FILE));
    EXPECT_EQ(instance->GetParam(7), 0);
    EXPECT_EQ(instance->Record(nullptr, 0), 1);
    EXPECT_EQ(instance->GetParam(4), 0);
}

}  // namespace
}  // namespace calidra
