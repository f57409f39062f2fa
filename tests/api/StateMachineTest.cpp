// Every exported call in every state of an instance: idle after start-up,
// previewing, paused, previewing after the stream died, and released. Each call
// must give its documented result and record exactly its documented codes.
#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

#include "ApiClientSupport.h"

namespace calidra {
namespace {

using apitest::ApiClientTest;
using apitest::kColourBytes;
using apitest::kPixels;
using apitest::kRawBytes;
using apitest::kTemperatureBytes;
using apitest::SensorFrame;
using Codes = std::vector<int>;

constexpr std::uintmax_t kCorrectionFileBytes = 9830448;

class StateMachine : public ApiClientTest {
protected:
    void SetUp() override {
        ApiClientTest::SetUp();
        CalidraSim_SetFrameRate(0, 100);
        CalidraSim_SetFrame(0, SensorFrame::Ramp(2000).Data());
    }

    // Previewing with at least one frame stored; the codes of the start taken.
    unsigned long StartPreviewing() {
        EXPECT_EQ(Calidra_Preview(handle), 1);
        EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
        unsigned long id = 0;
        EXPECT_TRUE(NextFrame(id));
        EXPECT_EQ(TakePosted(), Codes{ERR_UNSUPPORTED});
        return id;
    }

    // The calls whose answers do not depend on the acquisition state: names,
    // parameters, registers, the level table, the internal temperature, the
    // calibration requests and the correction data.
    void ExpectStateIndependentCalls(const char* state) {
        SCOPED_TRACE(state);
        EXPECT_EQ(Calidra_GetDllVersion(), 0x0014044Dul);
        EXPECT_EQ(Calidra_SetWindowHandle(handle, window), 1);

        char name[17] = {};
        wchar_t wideName[17] = {};
        EXPECT_EQ(Calidra_IsCameraEnableA(handle, 0, name, 17), 1);
        EXPECT_STREQ(name, "CalidraVX_01");
        EXPECT_EQ(Calidra_IsCameraEnableW(handle, 0, wideName, 17), 1);
        EXPECT_STREQ(wideName, L"CalidraVX_01");
        EXPECT_EQ(Calidra_IsCameraEnableA(handle, 3, name, 17), 0);
        EXPECT_EQ(Stacked(), Codes{});
        EXPECT_EQ(Calidra_IsCameraEnableW(handle, 0, wideName, 16), 0);
        EXPECT_EQ(Stacked(), Codes{ERR_ARGUMENT});
        EXPECT_EQ(Calidra_IsCameraEnableA(handle, 8, name, 17), 0);
        EXPECT_EQ(Stacked(), Codes{ERR_ARGUMENT});

        EXPECT_EQ(Calidra_SetCameraNumber(handle, 8), 0);
        EXPECT_EQ(Calidra_SetCameraNumber(handle, -1), 0);
        EXPECT_EQ(Calidra_SetCameraNumber(handle, 3), 0);
        EXPECT_EQ(Stacked(), (Codes{ERR_CAMERA, ERR_CAMERA, ERR_CAMERA}));

        EXPECT_EQ(Calidra_GetParam(handle, 1), 640);
        EXPECT_EQ(Calidra_GetParam(handle, 2), 480);
        EXPECT_EQ(Calidra_GetParam(handle, 8), 30);
        EXPECT_EQ(Calidra_SetParam(handle, 8, 10), 0);
        EXPECT_EQ(Stacked(), Codes{ERR_ARGUMENT});
        EXPECT_EQ(Calidra_GetParam(handle, 8), 30);
        EXPECT_EQ(Calidra_SetParam(handle, 16, 2), 0);
        EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
        EXPECT_EQ(Calidra_GetParam(handle, 16), 0);
        EXPECT_EQ(Calidra_SetParam(handle, 11, 1500), 1);
        EXPECT_EQ(Calidra_GetParam(handle, 11), 1500);
        EXPECT_EQ(Calidra_SetParam(handle, 11, 2000), 1);
        EXPECT_EQ(Calidra_SetParam(handle, 120, 0x5A), 1);
        EXPECT_EQ(CalidraSim_GetRegister(0, 120), 0x5A);
        EXPECT_EQ(Calidra_GetParam(handle, 120), 0x5A);
        EXPECT_EQ(Calidra_SetCameraType(handle, 1), 0);
        EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});

        int ok = -1;
        EXPECT_EQ(Calidra_SetThermoTable(handle, 16383, 151.5), 1);
        EXPECT_EQ(Calidra_GetThermoTable(handle, 16383, &ok), 151.5);
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(Calidra_SetOffsetValue(handle, 0, -0.25), 1);
        EXPECT_EQ(Calidra_GetOffsetValue(handle, 0, &ok), -0.25);
        EXPECT_EQ(Calidra_SetOffsetValue(handle, 0, 0.0), 1);
        EXPECT_EQ(Calidra_SetThermoTable(handle, 16384, 1.0), 0);
        EXPECT_EQ(Calidra_GetOffsetValue(handle, 16384, &ok), 0.0);
        EXPECT_EQ(ok, 0);

        CalidraSim_SetInternalTemperature(0, 2642);
        ok = -1;
        EXPECT_NEAR(Calidra_GetInternalTemperature(handle, &ok), -0.0298f, 0.0001f);
        EXPECT_EQ(ok, 1);

        const std::string correction = PathOf("correction.corset");
        EXPECT_EQ(Calidra_SaveNucDataA(handle, correction.c_str(), FILESAVETYPE_CORSET), 1);
        EXPECT_EQ(std::filesystem::file_size(correction), kCorrectionFileBytes);
        EXPECT_EQ(Calidra_LoadNucDataA(handle, correction.c_str(), FILESAVETYPE_CORSET), 1);
        const std::wstring wideCorrection = std::filesystem::path(correction).wstring();
        EXPECT_EQ(Calidra_SaveNucDataW(handle, wideCorrection.c_str(), FILESAVETYPE_CORSET), 1);
        EXPECT_EQ(Calidra_LoadNucDataW(handle, wideCorrection.c_str(), FILESAVETYPE_CORSET), 1);
        EXPECT_EQ(Calidra_LoadNucDataA(handle, PathOf("missing.corset").c_str(), FILESAVETYPE_CORSET), 0);
        EXPECT_EQ(Stacked(), Codes{ERR_FILE});

        EXPECT_EQ(Calidra_SetTableA(handle, ""), 0);
        EXPECT_EQ(Calidra_SetTableW(handle, L""), 0);
        EXPECT_EQ(Calidra_SetTableA(handle, nullptr), 0);
        EXPECT_EQ(Calidra_SetTableA(handle, PathOf("missing.dat").c_str()), 0);
        EXPECT_EQ(Stacked(), (Codes{ERR_FILE, ERR_FILE, ERR_FILE, ERR_FILE}));
        EXPECT_EQ(Stacked(), Codes{});
    }

    // Readouts by id: id 0 and unknown ids are bad arguments, a known id reads.
    void ExpectReadouts(unsigned long known) {
        std::vector<unsigned char> buffer(kTemperatureBytes);
        auto* raw = reinterpret_cast<unsigned short*>(buffer.data());
        auto* degrees = reinterpret_cast<float*>(buffer.data());
        EXPECT_EQ(Calidra_GetRaw(handle, 0, raw, kRawBytes), 0);
        EXPECT_EQ(Calidra_GetTemperature(handle, 0, degrees, kTemperatureBytes), 0);
        EXPECT_EQ(Calidra_GetColor(handle, 0, buffer.data(), kColourBytes), 0);
        EXPECT_EQ(Stacked(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT, ERR_ARGUMENT}));
        if (known == 0) return;
        EXPECT_EQ(Calidra_GetRaw(handle, known, raw, kRawBytes), 1);
        EXPECT_EQ(Calidra_GetTemperature(handle, known, degrees, kTemperatureBytes), 1);
        EXPECT_EQ(Calidra_GetColor(handle, known, buffer.data(), kColourBytes), 1);
        EXPECT_EQ(Stacked(), Codes{});
    }
};

TEST_F(StateMachine, IdleAfterStartUp) {
    EXPECT_EQ(Calidra_GetLastError(handle), 0);
    ExpectStateIndependentCalls("idle");

    EXPECT_EQ(Calidra_GetParam(handle, 3), 0);
    EXPECT_EQ(Calidra_GetParam(handle, 5), 0);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 0);
    EXPECT_EQ(Calidra_GetParam(handle, 7), 0);
    EXPECT_EQ(Calidra_GetNewID(handle), 0ul);
    ExpectReadouts(0);
    std::vector<unsigned short> raw(kPixels);
    EXPECT_EQ(Calidra_GetRaw(handle, 12345, raw.data(), kRawBytes), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_ARGUMENT});

    // No frame yet: nothing to save.
    EXPECT_EQ(Calidra_SaveA(handle, PathOf("none.raw").c_str(), 7), 0);
    EXPECT_EQ(Calidra_SaveW(handle, L"none.raw", 7), 0);
    EXPECT_EQ(Stacked(), (Codes{ERR_NO_IMAGE, ERR_NO_IMAGE}));
    EXPECT_FALSE(std::filesystem::exists(PathOf("none.raw")));

    // The recording wish is only stored while idle; no file opens.
    EXPECT_EQ(Calidra_RecA(handle, PathOf("idle.avi").c_str(), 2), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 4), 2);
    EXPECT_EQ(Calidra_GetParam(handle, 7), 0);
    EXPECT_EQ(Calidra_RecW(handle, L"", 0), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 4), 0);
    EXPECT_FALSE(std::filesystem::exists(PathOf("idle.avi")));
    EXPECT_EQ(Calidra_RecA(handle, std::string(300, 'n').c_str(), 1), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 4), 1);
    EXPECT_EQ(Calidra_RecA(handle, nullptr, 0), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 4), 0);

    EXPECT_EQ(Calidra_Pause(handle), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 1);
    EXPECT_EQ(Calidra_Start(handle), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 0);
    EXPECT_EQ(Calidra_Nuc(handle), 1);
    EXPECT_EQ(Calidra_Close(handle), 1);
    EXPECT_EQ(Calidra_SetCameraNumber(handle, 0), 1);
    EXPECT_EQ(Stacked(), Codes{});

    // A single frame is stored but never announced.
    const unsigned long id = Calidra_OneShot(handle);
    EXPECT_NE(id, 0ul);
    EXPECT_EQ(Calidra_GetNewID(handle), id);
    ExpectReadouts(id);
    EXPECT_EQ(Calidra_SaveA(handle, PathOf("one.raw").c_str(), 7), 1);
    EXPECT_EQ(std::filesystem::file_size(PathOf("one.raw")), kRawBytes);
    EXPECT_EQ(Calidra_GetParam(handle, 5), 0);
    EXPECT_EQ(Stacked(), Codes{});
    EXPECT_EQ(DrainFrames().size(), 0u);
    // Every code recorded above was also posted, in the order recorded.
    EXPECT_EQ(TakePosted(), recorded);
}

TEST_F(StateMachine, TriggerWhileIdleWithoutAnEdge) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Calidra_Trigger(handle), 0ul);
    // It waited the whole 3000 ms (less the rounding of a millisecond clock).
    EXPECT_GE(apitest::MillisecondsSince(start), 2990u);
    EXPECT_EQ(Stacked(), (Codes{ERR_UNSUPPORTED, ERR_FRAME}));
    EXPECT_EQ(Calidra_GetParam(handle, 5), 0);
    // The capture prepared the ring, which holds no frame.
    EXPECT_EQ(Calidra_GetNewID(handle), 0ul);
}

TEST_F(StateMachine, Previewing) {
    unsigned long id = StartPreviewing();
    ExpectStateIndependentCalls("previewing");

    const int threads = apitest::ThreadsOfThisProcess();
    EXPECT_EQ(Calidra_Preview(handle), 1);
    EXPECT_LE(apitest::ThreadsOfThisProcess(), threads);  // none started; one of earlier may still be ending
    EXPECT_EQ(Calidra_GetParam(handle, 5), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 0);
    // Single captures and camera changes wait for the end of live acquisition.
    EXPECT_EQ(Calidra_OneShot(handle), 0ul);
    EXPECT_EQ(Calidra_Trigger(handle), 0ul);
    EXPECT_EQ(Stacked(), Codes{});
    EXPECT_EQ(Calidra_SetCameraNumber(handle, 0), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_CAMERA});

    ASSERT_TRUE(NextFrame(id));
    EXPECT_NE(Calidra_GetNewID(handle), 0ul);
    ExpectReadouts(id);
    EXPECT_EQ(Calidra_SaveA(handle, PathOf("live.raw").c_str(), 7), 1);
    EXPECT_EQ(std::filesystem::file_size(PathOf("live.raw")), kRawBytes);
    EXPECT_EQ(Calidra_RecA(handle, PathOf("live.raw").c_str(), 0), 1);
    EXPECT_EQ(Calidra_Start(handle), 1);
    EXPECT_EQ(Calidra_Nuc(handle), 1);
    EXPECT_EQ(Stacked(), Codes{});

    EXPECT_EQ(Calidra_Close(handle), 1);
    EXPECT_EQ(Stacked(), Codes{});
    EXPECT_EQ(Calidra_GetParam(handle, 5), 0);
    // Closed: the last frame posted is the newest in the ring and stays readable.
    DrainFrames();
    const unsigned long last = framesSeen.back();
    EXPECT_EQ(Calidra_GetNewID(handle), last);
    ExpectReadouts(last);
    EXPECT_TRUE(DrainFrames().empty());
    EXPECT_EQ(Calidra_SetCameraNumber(handle, 0), 1);
}

TEST_F(StateMachine, Paused) {
    StartPreviewing();
    CalidraSim_SetFrame(0, SensorFrame(3000).Data());
    EXPECT_EQ(Calidra_Pause(handle), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 1);
    // A pass of the loop that was under way when the flag was set may still
    // store one frame; no later pass does, however many frames the camera sends.
    ASSERT_TRUE(apitest::WaitForTransfers(5));
    DrainFrames();
    const std::size_t settled = framesSeen.size();
    CalidraSim_SetFrame(0, SensorFrame(7000).Data());
    ASSERT_TRUE(apitest::WaitForTransfers(20));
    DrainFrames();
    EXPECT_LE(framesSeen.size() - settled, 1u);
    const unsigned long newest = Calidra_GetNewID(handle);
    ASSERT_NE(newest, 0ul);

    ExpectStateIndependentCalls("paused");
    EXPECT_EQ(Calidra_GetParam(handle, 5), 1);
    EXPECT_EQ(Calidra_Preview(handle), 1);
    EXPECT_EQ(Calidra_Pause(handle), 1);
    EXPECT_EQ(Calidra_OneShot(handle), 0ul);
    EXPECT_EQ(Calidra_Trigger(handle), 0ul);
    EXPECT_EQ(Stacked(), Codes{});
    ExpectReadouts(newest);
    EXPECT_EQ(Calidra_SaveA(handle, PathOf("paused.raw").c_str(), 7), 1);

    // The pause outlives a stop and a restart.
    EXPECT_EQ(Calidra_Close(handle), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 1);
    DrainFrames();
    EXPECT_EQ(Calidra_Preview(handle), 1);
    EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
    ASSERT_TRUE(apitest::WaitForTransfers(10));
    // Paused from its first pass: the new thread stores nothing.
    EXPECT_TRUE(DrainFrames().empty());
    EXPECT_EQ(Calidra_GetNewID(handle), 0ul);

    // Resumed with the newest frame of the camera, not a backlog of older ones.
    EXPECT_EQ(Calidra_Start(handle), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 0);
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    ExpectReadouts(id);
    EXPECT_EQ(Raw(id)[0], 7000);
}

class StreamEnded : public StateMachine, public ::testing::WithParamInterface<bool> {
protected:
    // Previewing, then the stream dies: a failed transfer or the camera unplugged.
    void EndTheStream() {
        StartPreviewing();
        if (GetParam())
            CalidraSim_SetPresent(0, 0);
        else
            CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 1);
        ASSERT_TRUE(WaitPosted(ERR_STREAM_END));
        // Every frame stored was posted before the end was.
        DrainFrames();
        lastBefore = framesSeen.back();
        EXPECT_EQ(Stacked(), Codes{ERR_STREAM_END});
        EXPECT_EQ(TakePosted(), Codes{ERR_STREAM_END});
    }
    unsigned long lastBefore = 0;
};

TEST_P(StreamEnded, StaysPreviewingWithoutFramesUntilClose) {
    EndTheStream();
    EXPECT_EQ(Calidra_GetParam(handle, 5), 1);
    EXPECT_EQ(Calidra_Preview(handle), 1);
    EXPECT_EQ(Calidra_OneShot(handle), 0ul);
    EXPECT_EQ(Calidra_Trigger(handle), 0ul);
    EXPECT_EQ(Calidra_Pause(handle), 1);
    EXPECT_EQ(Calidra_Start(handle), 1);
    EXPECT_EQ(Calidra_Nuc(handle), 1);
    EXPECT_EQ(Stacked(), Codes{});
    EXPECT_EQ(Calidra_SetCameraNumber(handle, 0), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_CAMERA});
    // The frames stored before the end stay in the ring.
    EXPECT_EQ(Calidra_GetNewID(handle), lastBefore);
    ExpectReadouts(lastBefore);
    EXPECT_EQ(Calidra_SaveA(handle, PathOf("ended.raw").c_str(), 7), 1);
    EXPECT_EQ(std::filesystem::file_size(PathOf("ended.raw")), kRawBytes);

    CalidraSim_SetPresent(0, 1);
    unsigned long id = 0;
    EXPECT_FALSE(NextFrame(id, 500));

    // Stopping collects the stream's failure.
    EXPECT_EQ(Calidra_Close(handle), 1);
    EXPECT_EQ(Stacked(), Codes{ERR_DEVICE});
    EXPECT_EQ(Calidra_GetParam(handle, 5), 0);
    EXPECT_EQ(Calidra_Close(handle), 1);
    EXPECT_EQ(Stacked(), Codes{});
}

TEST_P(StreamEnded, StateIndependentCallsStillAnswer) {
    EndTheStream();
    if (GetParam()) CalidraSim_SetPresent(0, 1);
    ExpectStateIndependentCalls("stream ended");
    EXPECT_EQ(Calidra_Close(handle), 1);
    Stacked();
}

TEST_F(StateMachine, PreviewAfterAStreamFailureRunsAgain) {
    StartPreviewing();
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 1);
    ASSERT_TRUE(WaitPosted(ERR_STREAM_END));
    EXPECT_EQ(Calidra_Close(handle), 1);
    Stacked();
    TakePosted();
    EXPECT_EQ(Calidra_Preview(handle), 1);
    EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    ExpectReadouts(id);
}

INSTANTIATE_TEST_SUITE_P(Causes, StreamEnded, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Unplugged" : "FailedTransfer";
                         });

TEST_F(StateMachine, ReleasedWhilePreviewing) {
    const int registerBefore = CalidraSim_GetRegister(0, 120);
    const int threadsBefore = apitest::ThreadsOfThisProcess();
    const unsigned long id = StartPreviewing();
    const unsigned long released = handle;
    handle = 0;
    EXPECT_EQ(Calidra_Release(released), 1);
    // The acquisition thread ended with the instance: nothing more arrives.
    EXPECT_EQ(apitest::ThreadsSettledTo(threadsBefore), threadsBefore);
    DrainFrames();
    unsigned long late = 0;
    EXPECT_FALSE(NextFrame(late, 300));

    int ok = 7;
    std::vector<unsigned char> buffer(kTemperatureBytes);
    char name[32] = "x";
    wchar_t wideName[32] = L"x";
    EXPECT_EQ(Calidra_Release(released), 0);
    EXPECT_EQ(Calidra_SetWindowHandle(released, window), 0);
    EXPECT_EQ(Calidra_SetCameraNumber(released, 0), 0);
    EXPECT_EQ(Calidra_IsCameraEnableA(released, 0, name, 32), 0);
    EXPECT_EQ(Calidra_IsCameraEnableW(released, 0, wideName, 32), 0);
    EXPECT_STREQ(name, "x");
    EXPECT_STREQ(wideName, L"x");
    EXPECT_EQ(Calidra_Preview(released), 0);
    EXPECT_EQ(Calidra_Close(released), 0);
    EXPECT_EQ(Calidra_Start(released), 0);
    EXPECT_EQ(Calidra_Pause(released), 0);
    EXPECT_EQ(Calidra_OneShot(released), 0ul);
    EXPECT_EQ(Calidra_Trigger(released), 0ul);
    EXPECT_EQ(Calidra_SaveA(released, PathOf("released.raw").c_str(), 7), 0);
    EXPECT_EQ(Calidra_SaveW(released, L"released.raw", 7), 0);
    EXPECT_EQ(Calidra_RecA(released, PathOf("released.avi").c_str(), 2), 0);
    EXPECT_EQ(Calidra_RecW(released, L"released.avi", 2), 0);
    EXPECT_EQ(Calidra_GetNewID(released), 0ul);
    EXPECT_EQ(Calidra_GetRaw(released, id, reinterpret_cast<unsigned short*>(buffer.data()), kRawBytes), 0);
    EXPECT_EQ(Calidra_GetTemperature(released, id, reinterpret_cast<float*>(buffer.data()), kTemperatureBytes), 0);
    EXPECT_EQ(Calidra_GetColor(released, id, buffer.data(), kColourBytes), 0);
    EXPECT_EQ(Calidra_Nuc(released), 0);
    EXPECT_EQ(Calidra_SetOffsetValue(released, 1, 1.0), 0);
    EXPECT_EQ(Calidra_GetOffsetValue(released, 1, &ok), 0.0);
    EXPECT_EQ(Calidra_SetThermoTable(released, 1, 1.0), 0);
    EXPECT_EQ(Calidra_GetThermoTable(released, 1, &ok), 0.0);
    EXPECT_EQ(Calidra_SaveNucDataA(released, PathOf("released.corset").c_str(), FILESAVETYPE_CORSET), 0);
    EXPECT_EQ(Calidra_SaveNucDataW(released, L"released.corset", FILESAVETYPE_CORSET), 0);
    EXPECT_EQ(Calidra_LoadNucDataA(released, PathOf("released.corset").c_str(), FILESAVETYPE_CORSET), 0);
    EXPECT_EQ(Calidra_LoadNucDataW(released, L"released.corset", FILESAVETYPE_CORSET), 0);
    EXPECT_EQ(Calidra_SetCameraType(released, 0), 0);
    EXPECT_EQ(Calidra_GetParam(released, 1), 0);
    EXPECT_EQ(Calidra_SetParam(released, 120, 7), 0);
    EXPECT_EQ(Calidra_SetTableA(released, "t.dat"), 0);
    EXPECT_EQ(Calidra_SetTableW(released, L"t.dat"), 0);
    EXPECT_EQ(Calidra_GetInternalTemperature(released, &ok), 0.0f);
    EXPECT_EQ(Calidra_GetLastError(released), 0);
    EXPECT_EQ(ok, 7);
    EXPECT_EQ(Calidra_GetDllVersion(), 0x0014044Dul);
    // Nothing was written, posted or sent to the camera on its behalf.
    EXPECT_EQ(CalidraSim_GetRegister(0, 120), registerBefore);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_TRUE(DrainFrames().empty());
    EXPECT_TRUE(TakePosted().empty());
}

TEST_F(StateMachine, ReleasedWhileIdleAndOthersUntouched) {
    const unsigned long other = Calidra_Initialize(nullptr);
    ASSERT_NE(other, 0ul);
    const unsigned long released = handle;
    handle = 0;
    EXPECT_EQ(Calidra_Release(released), 1);
    EXPECT_EQ(Calidra_GetParam(released, 8), 0);
    EXPECT_EQ(Calidra_Release(released), 0);
    EXPECT_EQ(Calidra_GetParam(other, 8), 30);
    EXPECT_EQ(Calidra_SetCameraType(other, 0), 0);
    EXPECT_EQ(Stacked(other), Codes{ERR_UNSUPPORTED});
    EXPECT_EQ(Calidra_Release(other), 1);
}

}  // namespace
}  // namespace calidra
