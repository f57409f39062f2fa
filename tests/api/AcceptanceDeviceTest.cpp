// The camera traffic a client's calls cause, seen in the virtual camera's command
// log: set-up, camera choice, data sets, shutter calibration, register access.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "ApiAcceptanceSupport.h"
#include "support/DataSetBytes.h"

namespace calidra {
namespace {

using namespace apitest;

constexpr std::uint32_t kPlaneBytes = kPixels * 8;

Packet Command(std::uint8_t code) { return MakePacket({code}); }

// Sizing the read-out window to the whole frame.
const std::vector<Packet> kFullFrameWindow = {
    MakePacket({0x09, 0x00, 0xB0, 0x04, 0x00}),  // 307,200 pixels
    WriteReg(16, 0),
    WriteReg(17, 0),
    WriteReg(18, 0x40),  // 640 / 2 = 320 keeps its low 8 bits
    WriteReg(19, 239),
    WriteReg(0, 255),
    WriteReg(1, 0xB0),
    WriteReg(2, 0x04),
    WriteReg(3, 0x00),
    WriteReg(0, 0x00),
};

// What a capture or a stream sends before its first frame: the window, 16-bit
// pixels, the trigger mode, and the request.
std::vector<Packet> FrameRequest() {
    std::vector<Packet> sequence = kFullFrameWindow;
    sequence.insert(sequence.end(),
                    {MakePacket({0x0A, 0x01}), WriteReg(14, 9), WriteReg(11, 0), ReadReg(20), Command(0x02)});
    return sequence;
}

// What setting a camera up sends, for the register 48 and 50 values the camera
// holds before it.
std::vector<Packet> SetUpSequence(int reg48, int reg50) {
    const int mode = 0 | (reg48 & 0xFC);
    const int bit2 = 4 | (mode & 0xFB);
    const int bit3 = 8 | (bit2 & 0xF7);
    std::vector<Packet> sequence = {
        MakePacket({0x0A, 0x01}),  // 16-bit words whatever the mode ...
        WriteReg(14, 8),           // ... and 8-bit pixels until a capture asks for more
        Command(0x06),
        WriteReg(84, 0),
        WriteReg(80, 0),
        WriteReg(80, 16),
        WriteReg(80, 0),
        ReadReg(50),
        WriteReg(49, 270 & 0xFF),
        WriteReg(50, (270 >> 8) | (reg50 & 0x80)),
        ReadReg(48),
        WriteReg(48, mode),
        WriteReg(40, 1800 & 0xFF),
        WriteReg(41, 1800 >> 8),
        WriteReg(42, 1041 & 0xFF),
        WriteReg(43, 1041 >> 8),
        WriteReg(64, 1660 & 0xFF),
        WriteReg(65, 1660 >> 8),
        WriteReg(66, 3459 & 0xFF),
        WriteReg(67, 3459 >> 8),
        WriteReg(68, 2220 & 0xFF),
        WriteReg(69, 2220 >> 8),
        WriteReg(70, 2854 & 0xFF),
        WriteReg(71, 2854 >> 8),
        ReadReg(48),
        WriteReg(48, bit2),
        ReadReg(48),
        WriteReg(48, bit3),
    };
    sequence.insert(sequence.end(), kFullFrameWindow.begin(), kFullFrameWindow.end());
    return sequence;
}

std::string Describe(const std::vector<Packet>& packets) {
    std::string text;
    for (const Packet& p : packets) {
        char line[32];
        std::snprintf(line, sizeof line, "[%02X %02X %02X %02X %02X]\n", p[0], p[1], p[2], p[3], p[4]);
        text += line;
    }
    return text;
}

// The packets after `from`, without the start-frame packets of the stream.
std::vector<Packet> CommandsSince(int index, std::size_t from) {
    const std::vector<Packet> log = CommandLog(index);
    std::vector<Packet> commands;
    for (std::size_t i = from; i < log.size(); ++i)
        if (log[i][0] != 0x02) commands.push_back(log[i]);
    return commands;
}

TEST(DeviceSetUp, InitializeSetsCameraZeroUpInOrder) {
    CalidraSim_Reset();
    CalidraSim_SetRegister(0, 48, 0xF3);
    CalidraSim_SetRegister(0, 50, 0xC5);
    const unsigned long handle = Calidra_Initialize(nullptr);
    ASSERT_NE(handle, 0ul);
    const std::vector<Packet> log = CommandLog(0);
    EXPECT_EQ(log, SetUpSequence(0xF3, 0xC5)) << Describe(log);
    // The camera last received 1800 for pair 40.
    EXPECT_EQ(CalidraSim_GetRegister(0, 40), 0x08);
    EXPECT_EQ(CalidraSim_GetRegister(0, 41), 0x07);
    EXPECT_EQ(CalidraSim_GetRegister(0, 48), 0xFC);
    Calidra_Release(handle);
    CalidraSim_Reset();
}

TEST(DeviceSetUp, SetCameraNumberSetsTheChosenCameraUp) {
    CalidraSim_Reset();
    CalidraSim_SetPresent(2, 1);
    CalidraSim_SetRegister(2, 48, 0x01);
    CalidraSim_SetRegister(2, 50, 0x7F);
    const unsigned long handle = Calidra_Initialize(nullptr);
    ASSERT_NE(handle, 0ul);
    CalidraSim_ClearCommandLog(0);
    CalidraSim_ClearCommandLog(2);
    ASSERT_EQ(Calidra_SetCameraNumber(handle, 2), 1);
    EXPECT_EQ(CommandLog(2), SetUpSequence(0x01, 0x7F)) << Describe(CommandLog(2));
    EXPECT_TRUE(CommandLog(0).empty());

    // Back to camera 0, which holds what its first set-up left.
    const int reg48 = CalidraSim_GetRegister(0, 48);
    const int reg50 = CalidraSim_GetRegister(0, 50);
    CalidraSim_ClearCommandLog(2);
    ASSERT_EQ(Calidra_SetCameraNumber(handle, 0), 1);
    EXPECT_EQ(CommandLog(0), SetUpSequence(reg48, reg50)) << Describe(CommandLog(0));
    EXPECT_TRUE(CommandLog(2).empty());
    Calidra_Release(handle);
    CalidraSim_Reset();
}

TEST(DeviceSetUp, AbsentOrOutOfRangeCamerasAreNotTouched) {
    CalidraSim_Reset();
    const unsigned long handle = Calidra_Initialize(nullptr);
    ASSERT_NE(handle, 0ul);
    CalidraSim_ClearCommandLog(0);
    for (int number : {8, -1, 3}) {
        EXPECT_EQ(Calidra_SetCameraNumber(handle, number), 0) << number;
        EXPECT_EQ(Calidra_GetLastError(handle), ERR_CAMERA) << number;
    }
    EXPECT_TRUE(CommandLog(0).empty());
    Calidra_Release(handle);
    CalidraSim_Reset();
}

TEST(DeviceSetUp, WithoutAnyCameraAnInstanceStillExists) {
    CalidraSim_Reset();
    CalidraSim_SetPresent(0, 0);
    const unsigned long handle = Calidra_Initialize(nullptr);
    ASSERT_NE(handle, 0ul);
    char name[32];
    for (int number = 0; number < 8; ++number) EXPECT_EQ(Calidra_IsCameraEnableA(handle, number, name, 32), 0);
    EXPECT_EQ(Calidra_SetParam(handle, 100, 1), 0);
    EXPECT_EQ(Calidra_Preview(handle), 0);
    EXPECT_EQ(Calidra_GetLastError(handle), ERR_CAMERA);
    Calidra_Release(handle);
    CalidraSim_Reset();
}

class DeviceTraffic : public ApiTest {};

TEST_F(DeviceTraffic, OneShotPreparesTheReadOutAndAsksForOneFrame) {
    CalidraSim_ClearCommandLog(0);
    Capture(FlatFrame(3000));
    const std::vector<Packet> expected = FrameRequest();
    EXPECT_EQ(CommandLog(0), expected) << Describe(CommandLog(0));
}

TEST_F(DeviceTraffic, PreviewAndCloseSetTheTriggerModeAroundTheStream) {
    CalidraSim_ClearCommandLog(0);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    ASSERT_TRUE(WaitFrames(2));
    const std::vector<Packet> expected = FrameRequest();
    std::vector<Packet> log = CommandLog(0);
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<Packet>(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected)
        << Describe(log);
    const std::size_t streaming = log.size();
    ASSERT_EQ(Calidra_Close(handle), 1);
    EXPECT_EQ(CommandsSince(0, streaming), (std::vector<Packet>{WriteReg(11, 0), ReadReg(20)}));
}

TEST_F(DeviceTraffic, OtherParameterIdsReachTheRegisters) {
    CalidraSim_ClearCommandLog(0);
    EXPECT_EQ(Calidra_SetParam(handle, 100, 320), 1);
    EXPECT_EQ(CommandLog(0), std::vector<Packet>{WriteReg(100, 0x40)});
    EXPECT_EQ(CalidraSim_GetRegister(0, 100), 0x40);

    // Only the second reply packet of a read carries the value.
    CalidraSim_SetRegister(0, 101, 0x5A);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_REPLY, 1);
    EXPECT_EQ(Calidra_GetParam(handle, 101), 0x5A);
}

TEST_F(DeviceTraffic, InternalTemperatureReadsRegisters44And45) {
    CalidraSim_SetRegister(0, 44, 0x34);
    CalidraSim_SetRegister(0, 45, 0x09);
    CalidraSim_SetInternalTemperature(0, 0x0934);
    CalidraSim_ClearCommandLog(0);
    int ok = 0;
    const float celsius = Calidra_GetInternalTemperature(handle, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(celsius, static_cast<float>((2.1284 - 2356 * 3.3 * (1.0 / 4096)) / 0.00552));
    EXPECT_EQ(CommandLog(0), (std::vector<Packet>{ReadReg(44), ReadReg(45)}));
}

// ---------------------------------------------------------------------------
// Camera data sets

struct BadPixel {
    std::int32_t x, y, direction;
};

struct DataSet {
    std::string version = "1011";
    std::uint32_t word49 = 0x7ABC;
    std::uint32_t mode48 = 7;
    std::uint32_t pairs[6] = {0x1345, 0x456, 0x789, 0xABC, 0xDEF, 0x0FE};
    std::uint32_t referenceLevel = 7000;
    std::vector<BadPixel> badPixels;

    std::vector<std::uint8_t> Bytes() const {
        test::ShippedDataSet file;
        file.version = version;
        file.sensorValues = {word49, mode48, pairs[0], pairs[1], pairs[2], pairs[3], pairs[4], pairs[5], 0};
        file.referenceLevel = referenceLevel;
        for (const BadPixel& p : badPixels) file.badPixels.push_back({p.x, p.y, p.direction, 0});
        file.tag = 0x4321;
        file.scale = 2048.0;
        for (int level = 0; level < 16384; ++level) file.temperatures.push_back(level * 0.01);
        file.offsets.assign(16384, 0.0);
        return file.Build();
    }
};

class DataSets : public ApiTest {
protected:
    std::string Write(const DataSet& set, const std::string& name) {
        WriteAll(files.Path(name), set.Bytes());
        return files.Narrow(name);
    }

    ScratchDir files{"api-datasets"};
};

TEST_F(DataSets, SettingsAreSentInOrderThenTheShutterCloses) {
    DataSet set;
    set.word49 = 636;
    const std::string path = Write(set, "set.dat");
    CalidraSim_SetRegister(0, 48, 0x5D);
    CalidraSim_SetRegister(0, 50, 0x80);
    CalidraSim_ClearCommandLog(0);
    ASSERT_EQ(Calidra_SetTableA(handle, path.c_str()), 1);
    std::vector<Packet> expected = {
        ReadReg(50), WriteReg(49, 0x7C), WriteReg(50, 0x82),  // bit 7 of the old value stays
        ReadReg(48), WriteReg(48, 0x5F),                      // mode 7 & 3 over the old bits 2 to 7
    };
    const int registers[6] = {40, 42, 64, 66, 68, 70};
    for (int k = 0; k < 6; ++k) {
        expected.push_back(WriteReg(registers[k], set.pairs[k] & 0xFF));
        expected.push_back(WriteReg(registers[k] + 1, (set.pairs[k] >> 8) & 0x0F));
    }
    for (int value : {32, 0, 32, 0}) expected.push_back(WriteReg(80, value));
    EXPECT_EQ(CommandLog(0), expected) << Describe(CommandLog(0));
    // The data set's level table replaces the default one.
    int ok = 0;
    EXPECT_EQ(Calidra_GetThermoTable(handle, 1234, &ok), 12.34);
    EXPECT_EQ(ok, 1);
}

TEST_F(DataSets, TheTagValueTakesTheDataSetsLowSixteenBits) {
    // A correction file first gives the tag value high bits of its own.
    std::vector<std::uint8_t> correction(48 + 4 * std::size_t{kPlaneBytes});
    std::memcpy(correction.data(), "VL-CORSET-V1020", 15);
    PutLe32(correction, 16, 640);
    PutLe32(correction, 20, 480);
    PutLe32(correction, 24, 0x00051234);
    PutLe32(correction, 28, kPlaneBytes);
    WriteAll(files.Path("tag.corset"), correction);
    ASSERT_EQ(Calidra_LoadNucDataA(handle, files.Narrow("tag.corset").c_str(), FILESAVETYPE_CORSET), 1);

    ASSERT_EQ(Calidra_SetTableA(handle, Write(DataSet{}, "set.dat").c_str()), 1);
    ASSERT_EQ(Calidra_SaveNucDataA(handle, files.Narrow("out.corset").c_str(), FILESAVETYPE_CORSET), 1);
    const std::vector<std::uint8_t> saved = ReadAll(files.Path("out.corset"));
    EXPECT_EQ(Le32(saved, 24), 0x00054321u);
    EXPECT_EQ(DoubleAt(saved, 32), 2048.0);
}

TEST_F(DataSets, MissingAndForeignFilesGiveFileErrorAndSendNothing) {
    std::vector<std::uint8_t> foreign = DataSet{}.Bytes();
    std::memcpy(foreign.data(), "VL-CORSET-V", 11);
    WriteAll(files.Path("foreign.dat"), foreign);
    WriteAll(files.Path("empty.dat"), {});
    CalidraSim_ClearCommandLog(0);
    for (const char* name : {"foreign.dat", "empty.dat", "missing.dat"}) {
        ClearErrors();
        EXPECT_EQ(Calidra_SetTableA(handle, files.Narrow(name).c_str()), 0) << name;
        EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE) << name;
    }
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        ClearErrors();
        EXPECT_EQ(Calidra_SetTableA(handle, path), 0);
        EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE);
    }
    EXPECT_TRUE(CommandLog(0).empty());
}

TEST_F(DataSets, DefectivePixelsTakeTheirNeighbourInTheSameColumn) {
    DataSet set;
    set.badPixels = {{10, 5, 0}, {20, 0, 0}, {30, 5, 1}, {40, 479, 1}, {700, 5, 0}};
    ASSERT_EQ(Calidra_SetTableA(handle, Write(set, "defects.dat").c_str()), 1);
    // The calibration the load started needs 30 frames; this one is only corrected.
    const std::vector<std::uint16_t> raw = Raw(Capture(RampFrame(1000)));
    auto level = [&](int sensorLine, int x) { return raw[static_cast<std::size_t>(479 - sensorLine) * kWidth + x]; };
    EXPECT_EQ(level(474, 10), 1475);  // from line 475
    EXPECT_EQ(level(474, 30), 1473);  // from line 473
    EXPECT_EQ(level(479, 20), 1479);  // its source would lie below the frame
    EXPECT_EQ(level(0, 40), 1000);    // its source would lie above the frame
    EXPECT_EQ(level(474, 11), 1474);
    EXPECT_EQ(level(475, 10), 1475);
}

// ---------------------------------------------------------------------------
// Shutter calibration over a fixed frame

class Calibration : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        Calidra_SetParam(handle, 10, 0);  // no hold-off: every frame is seen
        CalidraSim_SetFrameRate(0, 120);
    }

    // Previews frames of `level` and waits for the calibration under way (or
    // started by Calidra_Nuc when nuc is set) to open the shutter again. The
    // commands sent from the start, start-frame packets left out.
    std::vector<Packet> Calibrate(std::uint16_t level, bool nuc) {
        const Frame frame = FlatFrame(level);
        CalidraSim_SetFrame(0, frame.data());
        EXPECT_EQ(Calidra_Preview(handle), 1);
        EXPECT_TRUE(WaitFrames(1));
        const std::size_t from = CommandLog(0).size();
        if (nuc) {
            EXPECT_EQ(Calidra_Nuc(handle), 1);
        }
        const Packet open = WriteReg(80, 16);
        std::vector<Packet> commands;
        EXPECT_TRUE(WaitUntil([&] {
            commands = CommandsSince(0, from);
            const auto found = std::find(commands.begin(), commands.end(), open);
            return found != commands.end() && commands.end() - found >= 4;
        }));
        return commands;
    }

    // Every pixel of the newest frame, when all read the same; -1 otherwise.
    int NewestLevel() {
        const std::vector<std::uint16_t> raw = Raw(Calidra_GetNewID(handle));
        for (std::uint16_t v : raw)
            if (v != raw[0]) return -1;
        return raw[0];
    }

    // Waits until the newest stored frame reads level everywhere: the frame
    // that completes a calibration is stored a moment after the shutter opens,
    // however many older frames are announced meanwhile.
    bool NewestFrameReads(int level) {
        return WaitUntil([&] { return NewestLevel() == level; });
    }

    // The shutter-offset plane, when all of it holds one value; NaN otherwise.
    double ShutterOffset() {
        const std::string path = files.Narrow("correction.corset");
        EXPECT_EQ(Calidra_SaveNucDataA(handle, path.c_str(), FILESAVETYPE_CORSET), 1);
        const std::vector<std::uint8_t> bytes = ReadAll(path);
        if (bytes.size() < 48 + 3 * kPlaneBytes) return std::nan("");
        const double first = DoubleAt(bytes, 48 + 2 * kPlaneBytes);
        for (std::size_t i = 0; i < kPixels; ++i)
            if (DoubleAt(bytes, 48 + 2 * kPlaneBytes + 8 * i) != first) return std::nan("");
        return first;
    }

    ScratchDir files{"api-calibration"};
};

struct StepCase {
    std::uint16_t level;  // every pixel of every frame; the reference level is 6000
    int pair40;           // pair 40 afterwards; 0 when no step is sent
};

class CalibrationSteps : public Calibration, public ::testing::WithParamInterface<StepCase> {};

TEST_P(CalibrationSteps, NudgesPairFortyFromItsRecordedValue) {
    const StepCase step = GetParam();
    const std::vector<Packet> commands = Calibrate(step.level, true);
    std::vector<Packet> expected = {WriteReg(80, 32), WriteReg(80, 0), WriteReg(80, 32), WriteReg(80, 0)};
    // The recorded value is the default 2098, not the 1800 the set-up sent.
    if (step.pair40 != 0) {
        expected.push_back(WriteReg(40, step.pair40 & 0xFF));
        expected.push_back(WriteReg(41, (step.pair40 >> 8) & 0x0F));
    }
    for (int value : {16, 0, 16, 0}) expected.push_back(WriteReg(80, value));
    ASSERT_GE(commands.size(), expected.size());
    EXPECT_EQ(std::vector<Packet>(commands.begin(), commands.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected)
        << Describe(commands);
    EXPECT_TRUE(NewestFrameReads(6000)) << NewestLevel();
    ASSERT_EQ(Calidra_Close(handle), 1);
    EXPECT_EQ(ShutterOffset(), 6000.0 - step.level);
}

INSTANTIATE_TEST_SUITE_P(AcrossTheStepTable, CalibrationSteps,
                         ::testing::Values(StepCase{6000, 0}, StepCase{6100, 0}, StepCase{6101, 2099},
                                           StepCase{6500, 2099}, StepCase{6501, 2103}, StepCase{8000, 2103},
                                           StepCase{8001, 2118}, StepCase{5900, 0}, StepCase{5899, 2097},
                                           StepCase{5500, 2097}, StepCase{5499, 2093}, StepCase{3999, 2078}));

TEST_F(Calibration, TheThirtiethFrameAfterTheLastRequestCompletesIt) {
    const Frame frame = FlatFrame(6101);
    CalidraSim_SetFrame(0, frame.data());
    const Packet open = WriteReg(80, 16);
    auto opened = [&] {
        const std::vector<Packet> log = CommandLog(0);
        return std::find(log.begin(), log.end(), open) != log.end();
    };
    ASSERT_EQ(Calidra_Nuc(handle), 1);
    for (int shot = 0; shot < 10; ++shot) Capture(frame);
    // A new request while frames accumulate starts the count again.
    ASSERT_EQ(Calidra_Nuc(handle), 1);
    CalidraSim_ClearCommandLog(0);
    for (int shot = 1; shot < 30; ++shot) {
        const std::vector<std::uint16_t> raw = Raw(Capture(frame));
        ASSERT_EQ(raw[0], 6101) << "shot " << shot;
    }
    EXPECT_FALSE(opened());
    const std::vector<std::uint16_t> raw = Raw(Capture(frame));
    EXPECT_TRUE(opened());
    EXPECT_EQ(raw[0], 6000);  // the frame that completes the calibration already uses it
    EXPECT_EQ(CalidraSim_GetRegister(0, 40), 2099 & 0xFF);
}

TEST_F(Calibration, ChoosingTheCameraAgainDiscardsTheDataSet) {
    DataSet set;
    set.referenceLevel = 7000;
    WriteAll(files.Path("set.dat"), set.Bytes());
    ASSERT_EQ(Calidra_SetTableA(handle, files.Narrow("set.dat").c_str()), 1);
    int ok = 0;
    EXPECT_EQ(Calidra_GetThermoTable(handle, 1234, &ok), 12.34);
    ASSERT_EQ(Calidra_SetCameraNumber(handle, 0), 1);
    EXPECT_EQ(Calidra_GetThermoTable(handle, 2595, &ok), 2595 * 0.032133676092544985 - 83.38688946015424);
    // The reference is 6000 again and pair 40 back at its recorded 2098.
    const std::vector<Packet> commands = Calibrate(6101, true);
    EXPECT_NE(std::find(commands.begin(), commands.end(), WriteReg(40, 2099 & 0xFF)), commands.end())
        << Describe(commands);
    EXPECT_TRUE(NewestFrameReads(6000)) << NewestLevel();
}

TEST_F(Calibration, ADataSetSetsTheReferenceFromVersion1011On) {
    DataSet set;
    set.pairs[0] = 0x345;
    set.referenceLevel = 7000;
    WriteAll(files.Path("v1011.dat"), set.Bytes());
    ASSERT_EQ(Calidra_SetTableA(handle, files.Narrow("v1011.dat").c_str()), 1);
    std::vector<Packet> commands = Calibrate(6500, false);
    // d = 6500 - 7000 = -500: one step down from the data set's 0x345.
    EXPECT_NE(std::find(commands.begin(), commands.end(), WriteReg(40, 0x44)), commands.end()) << Describe(commands);
    EXPECT_TRUE(NewestFrameReads(7000)) << NewestLevel();
    ASSERT_EQ(Calidra_Close(handle), 1);

    set.version = "1010";
    WriteAll(files.Path("v1010.dat"), set.Bytes());
    ASSERT_EQ(Calidra_SetTableA(handle, files.Narrow("v1010.dat").c_str()), 1);
    commands = Calibrate(6500, false);
    // The reference stays 6000: d = 500, one step up.
    EXPECT_NE(std::find(commands.begin(), commands.end(), WriteReg(40, 0x46)), commands.end()) << Describe(commands);
    EXPECT_TRUE(NewestFrameReads(6000)) << NewestLevel();
}

}  // namespace
}  // namespace calidra
