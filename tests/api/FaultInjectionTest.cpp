// Every fault the virtual camera can inject, at every stage of an instance's
// life, through the public API: the codes that come out, Close and Release
// returning, no thread left behind, and every open recording finished whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ReliabilityTestSupport.h"

namespace calidra {
namespace {

using reliability::CheckRecording;
using reliability::Client;
using reliability::kAlways;
using reliability::Within;

constexpr int kAbsent = 5;  // a fifth "fault": the camera unplugged
constexpr std::uint32_t kShortHoldOffMs = 300;

const char* FaultName(int fault) {
    switch (fault) {
        case CALIDRA_SIM_FAULT_OPEN:
            return "Open";
        case CALIDRA_SIM_FAULT_IOCTL:
            return "Ioctl";
        case CALIDRA_SIM_FAULT_SHORT_FRAME:
            return "ShortFrame";
        case CALIDRA_SIM_FAULT_REPLY:
            return "Reply";
        default:
            return "Unplugged";
    }
}

void InjectLasting(int camera, int fault) {
    if (fault == kAbsent)
        CalidraSim_SetPresent(camera, 0);
    else
        CalidraSim_InjectFault(camera, fault, kAlways);
}

void ClearFaults(int camera) {
    for (int fault = CALIDRA_SIM_FAULT_OPEN; fault <= CALIDRA_SIM_FAULT_REPLY; ++fault)
        CalidraSim_InjectFault(camera, fault, 0);
    CalidraSim_SetPresent(camera, 1);
}

// Raises and drops the trigger input (bit 2 of status register 7) over and
// over, so a trigger capture always meets a falling edge while it waits.
class TriggerPulses {
public:
    TriggerPulses()
        : thread_([this] {
              while (!stop_.load()) {
                  CalidraSim_SetRegister(0, 7, 4);
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
                  CalidraSim_SetRegister(0, 7, 0);
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~TriggerPulses() {
        stop_.store(true);
        thread_.join();
    }
    TriggerPulses(const TriggerPulses&) = delete;
    TriggerPulses& operator=(const TriggerPulses&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        figures.Begin("fault");
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 100);
        threadsBefore = reliability::ThreadBaseline();
        dir = reliability::ScratchDirectory("reliability-faults");
        client = std::make_unique<Client>();
        ASSERT_TRUE(client->Initialize());
    }

    void TearDown() override {
        if (client) {
            if (client->Handle() != 0) {
                EXPECT_EQ(client->Release(), 1);
            }
            client.reset();
        }
        CalidraSim_Reset();
        const int left = reliability::ThreadsSettledTo(threadsBefore);
        EXPECT_EQ(left, threadsBefore) << "threads left behind";
        figures.threadsLeft = left > threadsBefore ? static_cast<std::uint64_t>(left - threadsBefore) : 0;
        figures.leaks = reliability::LeaksNow();
        EXPECT_NE(figures.leaks, 1) << "memory leaked (see the leak report above)";
        figures.End(!HasFailure());
    }

    unsigned long H() const { return client->Handle(); }

    // The recording holds exactly the frames posted since it was opened.
    void ExpectRecordingHoldsPostedFrames(const std::filesystem::path& path, int kind) {
        const reliability::FileCheck check = CheckRecording(path, kind);
        ASSERT_TRUE(check.valid) << path << ": " << check.problem;
        EXPECT_EQ(check.frames, client->Frames().size()) << path;
        ++figures.filesVerified;
    }

    // After the faults are gone, the same instance previews again.
    void ExpectRecovery() {
        ClearFaults(0);
        Calidra_RecA(H(), nullptr, 0);
        ASSERT_EQ(client->Close(), 1);
        client->TakeCodes();
        ASSERT_EQ(Within("Calidra_Preview", [h = H()] { return Calidra_Preview(h); }), 1);
        EXPECT_TRUE(client->WaitFrames(2)) << "no frames after the fault was gone";
        EXPECT_EQ(client->Close(), 1);
        EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
    }

    reliability::Figures figures;
    int threadsBefore = 0;
    std::filesystem::path dir;
    std::unique_ptr<Client> client;
};

// ---------------------------------------------------------------------------
// The sweep: each fault, lasting until it is cleared, at each stage.

enum class Stage { SetUp, PreviewStart, MidStream, Calibration, OneShot, Trigger };

const char* StageName(Stage stage) {
    switch (stage) {
        case Stage::SetUp:
            return "SetUp";
        case Stage::PreviewStart:
            return "PreviewStart";
        case Stage::MidStream:
            return "MidStream";
        case Stage::Calibration:
            return "Calibration";
        case Stage::OneShot:
            return "OneShot";
        default:
            return "Trigger";
    }
}

// What becomes of the frames: they keep coming; none ever comes; at most the
// failing transfer comes; they stop with the stream (frames already under way
// still come).
enum class Frames { Flow, None, AtMostOne, Stop };

// What a stage ends in under a lasting fault.
struct Outcome {
    int result;                   // of the stage's call
    std::vector<int> codes;       // posted by the stage, oldest first
    Frames frames;                // for the stream stages
    std::vector<int> closeCodes;  // posted by Calidra_Close
};

Outcome Expected(Stage stage, int fault) {
    const bool streamDies =
        fault == CALIDRA_SIM_FAULT_IOCTL || fault == CALIDRA_SIM_FAULT_SHORT_FRAME || fault == kAbsent;
    switch (stage) {
        case Stage::SetUp:
            // The camera was found present when the instance probed; set-up
            // ignores failed writes and reads, as the camera's own start-up does.
            return {1, {}, Frames::None, {}};
        case Stage::PreviewStart:
            if (fault == CALIDRA_SIM_FAULT_REPLY) return {1, {ERR_UNSUPPORTED}, Frames::Flow, {}};
            // The stream cannot open its channel: it ends at once without an
            // error, the loop idles, and stopping the stream reports it.
            if (fault == CALIDRA_SIM_FAULT_OPEN || fault == kAbsent)
                return {1, {ERR_UNSUPPORTED}, Frames::None, {ERR_DEVICE}};
            // The failing transfer is handed out before the stream's end is seen.
            return {1, {ERR_UNSUPPORTED, ERR_STREAM_END}, Frames::AtMostOne, {ERR_DEVICE}};
        case Stage::MidStream:
        case Stage::Calibration:
            if (streamDies) return {1, {ERR_UNSUPPORTED, ERR_STREAM_END}, Frames::Stop, {ERR_DEVICE}};
            return {1, {ERR_UNSUPPORTED}, Frames::Flow, {}};
        case Stage::OneShot:
            // A failed capture gives no frame id and records nothing.
            return {fault == CALIDRA_SIM_FAULT_REPLY ? 1 : 0, {}, Frames::None, {}};
        default:
            // A short capture fails after the edge; every other fault keeps the
            // trigger input from being read, so no edge is ever seen.
            if (fault == CALIDRA_SIM_FAULT_SHORT_FRAME) return {0, {ERR_UNSUPPORTED}, Frames::None, {}};
            return {0, {ERR_UNSUPPORTED, ERR_FRAME}, Frames::None, {}};
    }
}

class FaultSweep : public FaultTest, public ::testing::WithParamInterface<std::tuple<Stage, int>> {};

TEST_P(FaultSweep, EndsInTheDocumentedCodesAndRecovers) {
    const auto [stage, fault] = GetParam();
    const Outcome expected = Expected(stage, fault);
    const std::filesystem::path recording = dir / "during-fault.avi";
    ASSERT_EQ(Calidra_SetParam(H(), 10, static_cast<int>(kShortHoldOffMs)), 1);
    client->TakeCodes();

    int result = -1;
    const bool streaming = stage == Stage::PreviewStart || stage == Stage::MidStream || stage == Stage::Calibration;
    if (streaming) {
        ASSERT_EQ(Calidra_RecA(H(), recording.string().c_str(), 2), 1);
    }

    switch (stage) {
        case Stage::SetUp:
            InjectLasting(0, fault);
            result = Within("Calidra_SetCameraNumber", [h = H()] { return Calidra_SetCameraNumber(h, 0); });
            break;
        case Stage::PreviewStart:
            InjectLasting(0, fault);
            result = Within("Calidra_Preview", [h = H()] { return Calidra_Preview(h); });
            break;
        case Stage::MidStream:
        case Stage::Calibration:
            result = Within("Calidra_Preview", [h = H()] { return Calidra_Preview(h); });
            ASSERT_TRUE(client->WaitFrames(2));
            if (stage == Stage::Calibration) {
                ASSERT_EQ(Calidra_Nuc(H()), 1);
            }
            InjectLasting(0, fault);
            break;
        case Stage::OneShot:
            InjectLasting(0, fault);
            result = Within("Calidra_OneShot", [h = H()] { return Calidra_OneShot(h) != 0 ? 1 : 0; });
            break;
        case Stage::Trigger: {
            TriggerPulses pulses;
            InjectLasting(0, fault);
            result = Within("Calidra_Trigger", [h = H()] { return Calidra_Trigger(h) != 0 ? 1 : 0; });
            break;
        }
    }
    EXPECT_EQ(result, expected.result);

    if (streaming) {
        const bool dies =
            std::find(expected.codes.begin(), expected.codes.end(), ERR_STREAM_END) != expected.codes.end();
        if (dies) {
            EXPECT_TRUE(client->WaitCode(ERR_STREAM_END));
            // The loop has ended and finished the recording before Close.
            client->Drain();
            EXPECT_EQ(Calidra_GetParam(H(), 7), 0);
        }
        if (expected.frames == Frames::Flow) {
            EXPECT_TRUE(client->WaitFrames(3));
        }
        if (expected.frames == Frames::None) {
            // A stream that never opened cannot post: a short look is enough.
            client->PumpFor(300);
            EXPECT_EQ(client->Frames().size(), 0u);
        }
        if (expected.frames == Frames::AtMostOne) {
            EXPECT_LE(client->Frames().size(), 1u);
        }
    }
    EXPECT_EQ(client->TakeCodes(), expected.codes) << StageName(stage) << " / " << FaultName(fault);

    if (streaming) {
        EXPECT_EQ(client->Close(), 1);
        EXPECT_EQ(client->TakeCodes(), expected.closeCodes);
        ExpectRecordingHoldsPostedFrames(recording, 2);
    }
    ExpectRecovery();
}

std::string SweepName(const ::testing::TestParamInfo<std::tuple<Stage, int>>& info) {
    return std::string(StageName(std::get<0>(info.param))) + "_" + FaultName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(EveryStage, FaultSweep,
                         ::testing::Combine(::testing::Values(Stage::SetUp, Stage::PreviewStart, Stage::MidStream,
                                                              Stage::Calibration, Stage::OneShot, Stage::Trigger),
                                            ::testing::Values(CALIDRA_SIM_FAULT_OPEN, CALIDRA_SIM_FAULT_IOCTL,
                                                              CALIDRA_SIM_FAULT_SHORT_FRAME, CALIDRA_SIM_FAULT_REPLY,
                                                              kAbsent)),
                         SweepName);

// ---------------------------------------------------------------------------
// Single faults and the cases the sweep cannot pin down.

TEST_F(FaultTest, CameraAbsentAtStartUpFailsEveryCaptureWithCode2) {
    ASSERT_EQ(client->Release(), 1);
    CalidraSim_SetPresent(0, 0);
    ASSERT_TRUE(client->Initialize());
    char name[32] = {};
    EXPECT_EQ(Calidra_IsCameraEnableA(H(), 0, name, sizeof name), 0);
    EXPECT_EQ(Calidra_SetCameraNumber(H(), 0), 0);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_CAMERA});
    EXPECT_EQ(Calidra_Preview(H()), 0);
    EXPECT_EQ(Calidra_GetParam(H(), 5), 0);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_CAMERA});
    EXPECT_EQ(Calidra_OneShot(H()), 0u);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_CAMERA});
    EXPECT_EQ(Calidra_Trigger(H()), 0u);
    EXPECT_EQ(client->TakeCodes(), (std::vector<int>{ERR_UNSUPPORTED, ERR_CAMERA}));
    EXPECT_EQ(Calidra_SaveA(H(), (dir / "none.bmp").string().c_str(), 0), 0);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_NO_IMAGE});
    EXPECT_EQ(client->Close(), 1);
    EXPECT_TRUE(client->TakeCodes().empty());

    // Plugged in later, the camera is seen by the next instance's probe only.
    CalidraSim_SetPresent(0, 1);
    EXPECT_EQ(Calidra_Preview(H()), 0);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_CAMERA});
    ASSERT_EQ(client->Release(), 1);
    ASSERT_TRUE(client->Initialize());
    ASSERT_EQ(Calidra_Preview(H()), 1);
    EXPECT_TRUE(client->WaitFrames(1));
}

TEST_F(FaultTest, AnotherCameraWorksWhileCameraZeroIsAbsent) {
    ASSERT_EQ(client->Release(), 1);
    CalidraSim_SetPresent(0, 0);
    CalidraSim_SetPresent(2, 1);
    CalidraSim_SetFrameRate(2, 100);
    ASSERT_TRUE(client->Initialize());
    ASSERT_EQ(Calidra_SetCameraNumber(H(), 2), 1);
    ASSERT_EQ(Calidra_Preview(H()), 1);
    EXPECT_TRUE(client->WaitFrames(2));
    EXPECT_EQ(client->Close(), 1);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
}

TEST_F(FaultTest, OneFailedTransferEndsTheStream) {
    ASSERT_EQ(Calidra_Preview(H()), 1);
    ASSERT_TRUE(client->WaitFrames(2));
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 1);
    EXPECT_TRUE(client->WaitCode(ERR_STREAM_END));
    // Still previewing as far as the state goes, until Close.
    EXPECT_EQ(Calidra_GetParam(H(), 5), 1);
    EXPECT_EQ(Calidra_Preview(H()), 1);
    EXPECT_EQ(Calidra_OneShot(H()), 0u);
    EXPECT_EQ(client->TakeCodes(), (std::vector<int>{ERR_UNSUPPORTED, ERR_STREAM_END}));
    EXPECT_EQ(client->Close(), 1);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_DEVICE});
    EXPECT_EQ(Calidra_GetParam(H(), 5), 0);
    ExpectRecovery();
}

TEST_F(FaultTest, OneShortTransferIsForgivenTheSecondEndsTheStream) {
    ASSERT_EQ(Calidra_Preview(H()), 1);
    ASSERT_TRUE(client->WaitFrames(2));
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 1);
    // Frames go on well past the one that came short.
    ASSERT_TRUE(client->WaitFrames(10));
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 1);
    EXPECT_TRUE(client->WaitCode(ERR_STREAM_END));
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_STREAM_END});
    EXPECT_EQ(client->Close(), 1);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_DEVICE});
    ExpectRecovery();
}

TEST_F(FaultTest, AFailedReplyLosesOneReadingOnly) {
    int ok = -1;
    // The camera answers a read with two packets; losing the first costs nothing.
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 1);
    Calidra_GetInternalTemperature(H(), &ok);
    EXPECT_EQ(ok, 1);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 2);
    EXPECT_EQ(Calidra_GetInternalTemperature(H(), &ok), 0.0f);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_DEVICE});
    Calidra_GetInternalTemperature(H(), &ok);
    EXPECT_EQ(ok, 1);
    // A register read through the parameters that gets no answer reads 0.
    CalidraSim_SetRegister(0, 99, 5);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 2);
    EXPECT_EQ(Calidra_GetParam(H(), 99), 0);
    EXPECT_EQ(Calidra_GetParam(H(), 99), 5);
}

TEST_F(FaultTest, AFailedSetUpLeavesACameraThatPreviews) {
    for (int fault : {CALIDRA_SIM_FAULT_OPEN, CALIDRA_SIM_FAULT_IOCTL, CALIDRA_SIM_FAULT_REPLY}) {
        // A few failures land somewhere in the set-up sequence.
        CalidraSim_InjectFault(0, fault, 3);
        EXPECT_EQ(Calidra_SetCameraNumber(H(), 0), 1) << FaultName(fault);
        ClearFaults(0);
        ASSERT_EQ(Calidra_Preview(H()), 1);
        EXPECT_TRUE(client->WaitFrames(2)) << FaultName(fault);
        EXPECT_EQ(client->Close(), 1);
        EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
    }
}

// Unplugging while each kind of recording runs: the loop ends, finishes the
// file with every frame it posted, and Close then reports the dead stream.
class UnplugWhileRecording : public FaultTest, public ::testing::WithParamInterface<int> {};

TEST_P(UnplugWhileRecording, FinishesTheFileWithEveryPostedFrame) {
    const int kind = GetParam();
    const std::filesystem::path path = dir / ("unplugged." + std::to_string(kind));
    ASSERT_EQ(Calidra_RecA(H(), path.string().c_str(), kind), 1);
    ASSERT_EQ(Calidra_Preview(H()), 1);
    ASSERT_TRUE(client->WaitFrames(5));
    EXPECT_EQ(Calidra_GetParam(H(), 7), 1);
    CalidraSim_SetPresent(0, 0);
    EXPECT_TRUE(client->WaitCode(ERR_STREAM_END));
    client->Drain();
    EXPECT_EQ(Calidra_GetParam(H(), 7), 0);
    // The file is whole before the client even closes.
    ExpectRecordingHoldsPostedFrames(path, kind);
    EXPECT_EQ(client->TakeCodes(), (std::vector<int>{ERR_UNSUPPORTED, ERR_STREAM_END}));
    EXPECT_EQ(client->Close(), 1);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_DEVICE});
    ExpectRecovery();
}

INSTANTIATE_TEST_SUITE_P(EveryKind, UnplugWhileRecording, ::testing::Values(1, 2, 3));

TEST_F(FaultTest, ReleaseRightAfterTheStreamDiedWhileRecording) {
    const std::filesystem::path path = dir / "released.avi";
    ASSERT_EQ(Calidra_RecA(H(), path.string().c_str(), 2), 1);
    ASSERT_EQ(Calidra_Preview(H()), 1);
    ASSERT_TRUE(client->WaitFrames(3));
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, 1);
    EXPECT_TRUE(client->WaitCode(ERR_STREAM_END));
    EXPECT_EQ(client->Release(), 1);
    client->Drain();
    ExpectRecordingHoldsPostedFrames(path, 2);
}

TEST_F(FaultTest, ReleaseWhileRecordingAndStreamingFinishesTheFile) {
    const std::filesystem::path path = dir / "live.avi";
    ASSERT_EQ(Calidra_RecA(H(), path.string().c_str(), 2), 1);
    ASSERT_EQ(Calidra_Preview(H()), 1);
    ASSERT_TRUE(client->WaitFrames(3));
    EXPECT_EQ(client->Release(), 1);
    client->Drain();
    ExpectRecordingHoldsPostedFrames(path, 2);
}

TEST_F(FaultTest, AFaultOnOneCameraLeavesTheOtherInstancesRunning) {
    CalidraSim_SetPresent(1, 1);
    CalidraSim_SetFrameRate(1, 100);
    Client other;
    ASSERT_TRUE(other.Initialize());
    ASSERT_EQ(Calidra_SetCameraNumber(other.Handle(), 1), 1);
    const std::filesystem::path path = dir / "other.raw";
    ASSERT_EQ(Calidra_RecA(other.Handle(), path.string().c_str(), 1), 1);
    ASSERT_EQ(Calidra_Preview(H()), 1);
    ASSERT_EQ(Calidra_Preview(other.Handle()), 1);
    ASSERT_TRUE(client->WaitFrames(2));
    ASSERT_TRUE(other.WaitFrames(2));
    CalidraSim_SetPresent(0, 0);
    EXPECT_TRUE(client->WaitCode(ERR_STREAM_END));
    other.Drain();
    EXPECT_TRUE(other.WaitFrames(5));
    EXPECT_EQ(other.Close(), 1);
    other.Drain();
    EXPECT_EQ(other.TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
    const reliability::FileCheck check = CheckRecording(path, 1);
    ASSERT_TRUE(check.valid) << check.problem;
    EXPECT_EQ(check.frames, other.Frames().size());
    ++figures.filesVerified;
    EXPECT_EQ(other.Release(), 1);
}

TEST_F(FaultTest, ATriggerCaptureSucceedsOnceTheFaultIsGone) {
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_SHORT_FRAME, 1);
    {
        TriggerPulses pulses;
        EXPECT_EQ(Within("Calidra_Trigger", [h = H()] { return Calidra_Trigger(h); }), 0u);
        EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
        const unsigned long id = Within("Calidra_Trigger", [h = H()] { return Calidra_Trigger(h); });
        EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
        EXPECT_EQ(Calidra_GetNewID(H()), id);
    }
    std::vector<unsigned short> raw(640 * 480);
    EXPECT_EQ(Calidra_GetRaw(H(), Calidra_GetNewID(H()), raw.data(), raw.size() * 2), 1);
}

TEST_F(FaultTest, AFailedOneShotLeavesAnEmptyRingAndTheNextOneFillsIt) {
    const unsigned long first = Calidra_OneShot(H());
    ASSERT_NE(first, 0u);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_IOCTL, kAlways);
    EXPECT_EQ(Calidra_OneShot(H()), 0u);
    EXPECT_TRUE(client->TakeCodes().empty());
    // Every capture starts from a fresh ring, so the failed one left none.
    EXPECT_EQ(Calidra_GetNewID(H()), 0u);
    std::vector<unsigned short> raw(640 * 480);
    EXPECT_EQ(Calidra_GetRaw(H(), first, raw.data(), raw.size() * 2), 0);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_ARGUMENT});
    ClearFaults(0);
    const unsigned long second = Calidra_OneShot(H());
    EXPECT_NE(second, 0u);
    EXPECT_EQ(Calidra_GetNewID(H()), second);
    EXPECT_EQ(Calidra_GetRaw(H(), second, raw.data(), raw.size() * 2), 1);
    EXPECT_TRUE(client->TakeCodes().empty());
}

TEST_F(FaultTest, ACalibrationCutShortByAnUnplugCompletesOnTheNextStream) {
    ASSERT_EQ(Calidra_SetParam(H(), 10, static_cast<int>(kShortHoldOffMs)), 1);
    ASSERT_EQ(Calidra_Preview(H()), 1);
    ASSERT_TRUE(client->WaitFrames(2));
    ASSERT_EQ(Calidra_Nuc(H()), 1);
    CalidraSim_SetPresent(0, 0);
    EXPECT_TRUE(client->WaitCode(ERR_STREAM_END));
    EXPECT_EQ(client->Close(), 1);
    EXPECT_EQ(client->TakeCodes(), (std::vector<int>{ERR_UNSUPPORTED, ERR_STREAM_END, ERR_DEVICE}));
    CalidraSim_SetPresent(0, 1);
    CalidraSim_ClearCommandLog(0);
    ASSERT_EQ(Calidra_Preview(H()), 1);
    // The calibration goes on with the new stream's frames and ends by opening
    // the shutter (register 80: 16, then 0).
    bool opened = false;
    for (int tries = 0; tries < 100 && !opened; ++tries) {
        ASSERT_TRUE(client->WaitFrames(1));
        const int count = CalidraSim_GetCommandLog(0, nullptr, 0);
        std::vector<unsigned char> log(64 * static_cast<std::size_t>(count > 0 ? count : 1));
        const int got = CalidraSim_GetCommandLog(0, reinterpret_cast<unsigned char(*)[64]>(log.data()), count);
        for (int i = 0; i < std::min(got, count); ++i) {
            const unsigned char* packet = log.data() + 64 * static_cast<std::size_t>(i);
            opened = opened || (packet[0] == 0x25 && packet[1] == 80 && packet[2] == 16);
        }
    }
    EXPECT_TRUE(opened);
    EXPECT_EQ(client->Close(), 1);
    EXPECT_EQ(client->TakeCodes(), std::vector<int>{ERR_UNSUPPORTED});
}

TEST_F(FaultTest, CloseAndReleaseOfAStreamThatNeverOpenedReturn) {
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_OPEN, kAlways);
    ASSERT_EQ(Calidra_Preview(H()), 1);
    EXPECT_EQ(client->Release(), 1);
}

}  // namespace
}  // namespace calidra
