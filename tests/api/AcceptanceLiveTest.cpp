// The live behaviour an application sees through the public API, value for
// value: start-up defaults, names and camera choice, the error stack,
// parameters, the level table, the internal temperature, data sets, preview,
// pause, calibration hold-offs, frame ids, single and trigger captures, the
// ring and its readouts, and the pseudo-colour mapping.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ApiClientSupport.h"
#include "support/DataSetBytes.h"

namespace calidra {
namespace {

using apitest::ApiClientTest;
using apitest::kColourBytes;
using apitest::kGuardMs;
using apitest::kHeight;
using apitest::kPixels;
using apitest::kRawBytes;
using apitest::kTemperatureBytes;
using apitest::kWidth;
using apitest::MillisecondsSince;
using apitest::SensorFrame;
using Clock = std::chrono::steady_clock;
using Codes = std::vector<int>;

struct Rgb {
    int red, green, blue;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// The colour a readout gives for sensor line y, column x (blue, green, red bytes).
Rgb ColourAt(const std::vector<unsigned char>& colour, int line, int column) {
    const std::size_t at = SensorFrame::ReadoutIndex(line, column) * 3;
    return Rgb{colour[at + 2], colour[at + 1], colour[at]};
}

float InternalDegrees(int raw) { return static_cast<float>((2.1284 - raw * 3.3 * (1.0 / 4096.0)) / 0.00552); }

// Seconds since boot: the first automatic temperature check needs the clock
// past 30 s.
double Uptime() {
    std::ifstream in("/proc/uptime");
    double seconds = 0.0;
    in >> seconds;
    return seconds;
}

// A camera data set as a maker ships one, crafted so that every part of it
// shows: planes that add 100 to every level, a level table of 4096 entries and
// a reference level of 6000 for the calibration.
class CraftedDataSet {
public:
    static constexpr std::uint32_t kLevels = 4096;
    static constexpr int kPlaneOffset = 100;
    static constexpr int kReferenceLevel = 6000;
    static double Temperature(std::uint32_t i) { return -20.0 + 0.0375 * i; }
    static double Offset(std::uint32_t i) { return 0.001 * i; }

    static void Write(const std::string& path) {
        test::ShippedDataSet file;
        file.tag = 0x0042;
        file.referenceLevel = kReferenceLevel;
        file.planes = {1.0, static_cast<double>(kPlaneOffset), 0.0, 1.0};
        for (std::uint32_t i = 0; i < kLevels; ++i) {
            file.temperatures.push_back(Temperature(i));
            file.offsets.push_back(Offset(i));
        }
        test::SaveBytes(path, file.Build());
    }
};

// ---------------------------------------------------------------------------
// Start-up, names, camera choice and the error stack.

class StartUp : public ApiClientTest {};

TEST_F(StartUp, ParameterDefaultsAfterInitialize) {
    const unsigned long fresh = Calidra_Initialize(nullptr);
    ASSERT_NE(fresh, 0ul);
    const int defaults[][2] = {{1, 640},   {2, 480},   {3, 0},  {4, 0},     {5, 0},     {6, 0},
                               {7, 0},     {8, 30},    {9, 10}, {10, 1200}, {11, 2000}, {12, -1},
                               {13, 1000}, {14, 3000}, {15, 1}, {16, 0},    {17, 0},    {18, 0}};
    for (const auto& [id, value] : defaults) EXPECT_EQ(Calidra_GetParam(fresh, id), value) << "parameter " << id;
    EXPECT_EQ(Calidra_GetNewID(fresh), 0ul);
    EXPECT_EQ(Calidra_GetLastError(fresh), 0);
    EXPECT_EQ(Calidra_Release(fresh), 1);
}

TEST_F(StartUp, CameraNamesNeedSeventeenCharacters) {
    wchar_t wide[32];
    std::wmemset(wide, L'#', 32);
    EXPECT_EQ(Calidra_IsCameraEnableW(handle, 0, wide, 16), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_ARGUMENT});
    EXPECT_EQ(wide[0], L'#');
    EXPECT_EQ(Calidra_IsCameraEnableW(handle, 0, wide, 17), 1);
    EXPECT_STREQ(wide, L"CalidraVX_01");
    EXPECT_EQ(Calidra_IsCameraEnableW(handle, 8, wide, 17), 0);
    EXPECT_EQ(Calidra_IsCameraEnableW(handle, -1, wide, 17), 0);
    EXPECT_EQ(Stacked(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT}));
    // An absent camera is no mistake of the caller's.
    EXPECT_EQ(Calidra_IsCameraEnableW(handle, 3, wide, 17), 0);
    EXPECT_EQ(Stacked(), Codes{});

    char narrow[17];
    std::memset(narrow, '#', sizeof narrow);
    EXPECT_EQ(Calidra_IsCameraEnableA(handle, 0, narrow, 17), 1);
    EXPECT_STREQ(narrow, "CalidraVX_01");
    EXPECT_EQ(Calidra_IsCameraEnableA(handle, 0, narrow, 16), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_ARGUMENT});
    // A buffer said to be as large as can be still gets just the name.
    char large[32];
    std::memset(large, '#', sizeof large);
    EXPECT_EQ(Calidra_IsCameraEnableA(handle, 0, large, INT_MAX), 1);
    EXPECT_STREQ(large, "CalidraVX_01");
    EXPECT_EQ(large[13], '#');
    EXPECT_EQ(Calidra_IsCameraEnableW(handle, 0, wide, INT_MAX), 1);
    EXPECT_STREQ(wide, L"CalidraVX_01");
    // No buffer is a buffer too small.
    EXPECT_EQ(Calidra_IsCameraEnableA(handle, 0, nullptr, 17), 0);
    EXPECT_EQ(Calidra_IsCameraEnableW(handle, 0, nullptr, 17), 0);
    EXPECT_EQ(Stacked(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT}));
}

TEST_F(StartUp, CamerasAreNamedFromOneAndChosenByNumber) {
    CalidraSim_SetPresent(3, 1);
    const unsigned long probed = Calidra_Initialize(nullptr);
    ASSERT_NE(probed, 0ul);
    char name[17] = {};
    EXPECT_EQ(Calidra_IsCameraEnableA(probed, 3, name, 17), 1);
    EXPECT_STREQ(name, "CalidraVX_04");
    // Frames then come from the camera chosen.
    CalidraSim_SetFrame(0, SensorFrame(1111).Data());
    CalidraSim_SetFrame(3, SensorFrame(3333).Data());
    EXPECT_EQ(Calidra_SetCameraNumber(probed, 3), 1);
    std::vector<unsigned short> raw(kPixels);
    unsigned long id = Calidra_OneShot(probed);
    ASSERT_EQ(Calidra_GetRaw(probed, id, raw.data(), kRawBytes), 1);
    EXPECT_EQ(raw[100], 3333);
    EXPECT_EQ(Calidra_SetCameraNumber(probed, 0), 1);
    id = Calidra_OneShot(probed);
    ASSERT_EQ(Calidra_GetRaw(probed, id, raw.data(), kRawBytes), 1);
    EXPECT_EQ(raw[100], 1111);
    EXPECT_EQ(Calidra_GetLastError(probed), 0);
    EXPECT_EQ(Calidra_Release(probed), 1);
}

TEST_F(StartUp, ChoosingAnAbsentOrUnknownCameraFails) {
    EXPECT_EQ(Calidra_SetCameraNumber(handle, 8), 0);
    EXPECT_EQ(Calidra_SetCameraNumber(handle, -1), 0);
    EXPECT_EQ(Calidra_SetCameraNumber(handle, 3), 0);
    EXPECT_EQ(Stacked(), (Codes{ERR_CAMERA, ERR_CAMERA, ERR_CAMERA}));
    // Camera 0 is still the one set up.
    EXPECT_NE(Capture(SensorFrame(2000)), 0ul);
}

TEST_F(StartUp, ErrorStackGivesNewestFirst) {
    EXPECT_EQ(Calidra_GetLastError(handle), 0);
    EXPECT_EQ(Calidra_SetCameraNumber(handle, 8), 0);
    wchar_t name[16];
    EXPECT_EQ(Calidra_IsCameraEnableW(handle, 0, name, 16), 0);
    EXPECT_EQ(Calidra_GetLastError(handle), ERR_ARGUMENT);
    EXPECT_EQ(Calidra_GetLastError(handle), ERR_CAMERA);
    EXPECT_EQ(Calidra_GetLastError(handle), 0);
    // Each was posted as it was recorded.
    EXPECT_EQ(TakePosted(), (Codes{ERR_CAMERA, ERR_ARGUMENT}));
}

TEST_F(StartUp, WithoutAWindowCodesAreStackedButNotPosted) {
    EXPECT_EQ(Calidra_SetWindowHandle(handle, nullptr), 1);
    EXPECT_EQ(Calidra_SetCameraNumber(handle, 8), 0);
    EXPECT_EQ(Calidra_SetCameraType(handle, 0), 0);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    EXPECT_EQ(Calidra_Close(handle), 1);
    EXPECT_TRUE(TakePosted().empty());
    EXPECT_EQ(Stacked(), (Codes{ERR_CAMERA, ERR_UNSUPPORTED, ERR_UNSUPPORTED}));
    // Given back, the window hears the next code.
    EXPECT_EQ(Calidra_SetWindowHandle(handle, window), 1);
    EXPECT_EQ(Calidra_SetCameraType(handle, 0), 0);
    EXPECT_EQ(TakePosted(), Codes{ERR_UNSUPPORTED});
}

TEST_F(StartUp, SetCameraTypeIsNeverSupported) {
    for (int type : {0, 1, 2, -1, 1000}) {
        EXPECT_EQ(Calidra_SetCameraType(handle, type), 0);
        EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED}) << type;
    }
    EXPECT_EQ(Calidra_GetDllVersion(), 1311821ul);
}

TEST_F(StartUp, CloseWhileIdleChangesNothing) {
    const unsigned long id = Capture(SensorFrame(2500));
    ASSERT_EQ(Calidra_SetParam(handle, 9, 25), 1);
    ASSERT_EQ(Calidra_Pause(handle), 1);
    std::vector<int> before;
    for (int p = 1; p <= 18; ++p) before.push_back(Calidra_GetParam(handle, p));
    EXPECT_EQ(Calidra_Close(handle), 1);
    for (int p = 1; p <= 18; ++p) EXPECT_EQ(Calidra_GetParam(handle, p), before[p - 1]) << "parameter " << p;
    EXPECT_EQ(Calidra_GetNewID(handle), id);
    EXPECT_EQ(Raw(id)[0], 2500);
    EXPECT_EQ(Stacked(), Codes{});
    EXPECT_TRUE(TakePosted().empty());
}

TEST_F(StartUp, SavingToANullPathFails) {
    Capture(SensorFrame(2000));
    EXPECT_EQ(Calidra_SaveA(handle, nullptr, 7), 0);
    EXPECT_EQ(Calidra_SaveW(handle, nullptr, 0), 0);
    EXPECT_EQ(Stacked(), (Codes{ERR_FILE, ERR_FILE}));
}

// ---------------------------------------------------------------------------
// Parameters, the level table, the internal temperature and data sets.

class Parameters : public ApiClientTest {};

TEST_F(Parameters, RingLengthAndTemperatureRangeAreRefused) {
    EXPECT_EQ(Calidra_SetParam(handle, 8, 10), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_ARGUMENT});
    EXPECT_EQ(Calidra_GetParam(handle, 8), 30);
    EXPECT_EQ(Calidra_SetParam(handle, 16, 2), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
    EXPECT_EQ(Calidra_GetParam(handle, 16), 0);
    EXPECT_EQ(Calidra_SetParam(handle, 15, 7), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 15), 1);
    EXPECT_EQ(Calidra_SetParam(handle, 15, -3), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 15), 1);
    EXPECT_EQ(Calidra_SetParam(handle, 15, 0), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 15), 0);
    EXPECT_EQ(Stacked(), Codes{});
}

TEST_F(Parameters, StoredParametersReadBackUnchanged) {
    const int values[][2] = {{9, 0},      {10, 5}, {11, 1}, {12, 3},  {13, -7},
                             {14, 99999}, {17, 1}, {18, 2}, {12, -5}, {13, 20000}};
    for (const auto& [id, value] : values) {
        EXPECT_EQ(Calidra_SetParam(handle, id, value), 1) << id;
        EXPECT_EQ(Calidra_GetParam(handle, id), value) << id;
    }
    EXPECT_EQ(Stacked(), Codes{});
}

TEST_F(Parameters, LowIdsReadTheInstanceButWriteTheCamera) {
    for (int id = 1; id <= 7; ++id) {
        const int reading = Calidra_GetParam(handle, id);
        EXPECT_EQ(Calidra_SetParam(handle, id, 0x40 + id), 1) << id;
        // Register 7 is the camera's status: it keeps its own value.
        if (id != 7) {
            EXPECT_EQ(CalidraSim_GetRegister(0, id), 0x40 + id) << id;
        }
        EXPECT_EQ(Calidra_GetParam(handle, id), reading) << id;
    }
    EXPECT_EQ(Calidra_GetParam(handle, 1), 640);
    EXPECT_EQ(Calidra_GetParam(handle, 2), 480);
    // Any other id is a register, read and written as 8 bits.
    EXPECT_EQ(Calidra_SetParam(handle, 200, 0x1C3), 1);
    EXPECT_EQ(CalidraSim_GetRegister(0, 200), 0xC3);
    EXPECT_EQ(Calidra_GetParam(handle, 200), 0xC3);
    CalidraSim_SetRegister(0, 19, 0xEE);
    EXPECT_EQ(Calidra_GetParam(handle, 19), 0xEE);
    EXPECT_EQ(Stacked(), Codes{});
}

TEST_F(Parameters, FrameRateIsFramesPerSecondTimesOneHundred) {
    CalidraSim_SetFrameRate(0, 30);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    // The first measurement also spans the start of acquisition, which a loaded
    // machine can make last seconds: the frames measure alone from the second on.
    std::set<int> rates;
    const auto start = Clock::now();
    unsigned long id = 0;
    while (rates.size() < 2 && MillisecondsSince(start) < kGuardMs) {
        ASSERT_TRUE(NextFrame(id));
        const int rate = Calidra_GetParam(handle, 3);
        if (rate != 0) rates.insert(rate);
    }
    ASSERT_FALSE(rates.empty());
    // About 3000; only a camera slower than one frame a second or faster than
    // sixty could give a value outside these bounds.
    EXPECT_GT(*rates.rbegin(), 100);
    EXPECT_LT(*rates.rbegin(), 6000);
}

TEST_F(Parameters, LevelTableEntriesByIndex) {
    int ok = -1;
    // The table of a camera without a data set: 16384 entries.
    EXPECT_DOUBLE_EQ(Calidra_GetThermoTable(handle, 16383, &ok), 190.0 * 16383 / 16384 - 40);
    EXPECT_NEAR(Calidra_GetThermoTable(handle, 16383, &ok), 149.98840332, 1e-8);
    EXPECT_EQ(ok, 1);
    EXPECT_NEAR(Calidra_GetThermoTable(handle, 16382, &ok), 443.0269922879, 1e-9);
    EXPECT_NEAR(Calidra_GetThermoTable(handle, 2595, &ok), 0.0, 1e-9);
    EXPECT_NEAR(Calidra_GetThermoTable(handle, 6485, &ok), 125.0, 1e-9);
    ok = -1;
    EXPECT_EQ(Calidra_GetThermoTable(handle, 16384, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    ok = -1;
    EXPECT_EQ(Calidra_GetThermoTable(handle, 65535, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    // The index is 16 bits wide: 65536 arrives as 0.
    const unsigned int beyond = 65536;
    ok = -1;
    EXPECT_DOUBLE_EQ(Calidra_GetThermoTable(handle, static_cast<unsigned short>(beyond), &ok), -83.38688946015424);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Calidra_GetOffsetValue(handle, 16383, &ok), 0.0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Calidra_GetOffsetValue(handle, 16384, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    ok = -1;
    EXPECT_EQ(Calidra_GetOffsetValue(handle, 65535, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Calidra_GetThermoTable(handle, 100, nullptr), 100 * 0.032133676092544985 - 83.38688946015424);

    EXPECT_EQ(Calidra_SetThermoTable(handle, 16383, 42.5), 1);
    EXPECT_EQ(Calidra_GetThermoTable(handle, 16383, &ok), 42.5);
    EXPECT_EQ(Calidra_SetOffsetValue(handle, 16383, -2.25), 1);
    EXPECT_EQ(Calidra_GetOffsetValue(handle, 16383, &ok), -2.25);
    EXPECT_EQ(Calidra_SetThermoTable(handle, 16384, 1.0), 0);
    EXPECT_EQ(Calidra_SetOffsetValue(handle, 65535, 1.0), 0);
    // Out-of-range indexes are answered, not recorded.
    EXPECT_EQ(Stacked(), Codes{});
}

TEST_F(Parameters, LevelTableEditsReachTheNextTemperatureReadout) {
    const unsigned long id = Capture(SensorFrame(6485));
    EXPECT_NEAR(Temperatures(id)[4321], 125.0f, 1e-4f);
    ASSERT_EQ(Calidra_SetOffsetValue(handle, 6485, 1.5), 1);
    EXPECT_EQ(Temperatures(id)[4321], static_cast<float>(6485 * 0.032133676092544985 - 83.38688946015424 + 1.5));
    ASSERT_EQ(Calidra_SetThermoTable(handle, 6485, -10.0), 1);
    EXPECT_EQ(Temperatures(id)[0], -8.5f);
}

TEST_F(Parameters, InternalTemperatureOfTheRawReading) {
    int ok = -1;
    CalidraSim_SetInternalTemperature(0, 0);
    const float hot = Calidra_GetInternalTemperature(handle, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(hot, InternalDegrees(0));
    EXPECT_NEAR(hot, 385.58f, 0.005f);
    EXPECT_EQ(hot, static_cast<float>(2.1284 / 0.00552));
    CalidraSim_SetInternalTemperature(0, 2642);
    ok = -1;
    const float freezing = Calidra_GetInternalTemperature(handle, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(freezing, InternalDegrees(2642));
    EXPECT_NEAR(freezing, -0.0298f, 0.00005f);
    EXPECT_EQ(Calidra_GetInternalTemperature(handle, nullptr), freezing);
    EXPECT_EQ(Stacked(), Codes{});
}

TEST_F(Parameters, DataSetPathsThatCannotLoad) {
    EXPECT_EQ(Calidra_SetTableW(handle, L""), 0);
    EXPECT_EQ(Calidra_SetTableA(handle, ""), 0);
    EXPECT_EQ(Calidra_SetTableW(handle, nullptr), 0);
    EXPECT_EQ(Calidra_SetTableA(handle, PathOf("missing.dat").c_str()), 0);
    const std::string foreign = PathOf("foreign.dat");
    std::ofstream(foreign) << "VL-CORSET-V1020 is not a data set";
    EXPECT_EQ(Calidra_SetTableA(handle, foreign.c_str()), 0);
    EXPECT_EQ(Stacked(), (Codes{ERR_FILE, ERR_FILE, ERR_FILE, ERR_FILE, ERR_FILE}));
    // Nothing of the camera's table changed.
    int ok = 0;
    EXPECT_NEAR(Calidra_GetThermoTable(handle, 6485, &ok), 125.0, 1e-9);
}

TEST_F(Parameters, ACraftedDataSetReplacesPlanesAndLevelTable) {
    const std::string path = PathOf("crafted.dat");
    CraftedDataSet::Write(path);
    EXPECT_EQ(Calidra_SetTableA(handle, path.c_str()), 1);
    EXPECT_EQ(Stacked(), Codes{});

    int ok = -1;
    EXPECT_EQ(Calidra_GetThermoTable(handle, 4095, &ok), CraftedDataSet::Temperature(4095));
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Calidra_GetOffsetValue(handle, 4095, &ok), CraftedDataSet::Offset(4095));
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Calidra_GetThermoTable(handle, 4096, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Calidra_GetOffsetValue(handle, 16383, &ok), 0.0);
    EXPECT_EQ(ok, 0);

    // The planes add 100; the level table reads level v at v AND 4095.
    const unsigned long id = Capture(SensorFrame(5000));
    const std::vector<unsigned short> raw = Raw(id);
    EXPECT_EQ(raw[0], 5000 + CraftedDataSet::kPlaneOffset);
    EXPECT_EQ(raw[kPixels - 1], 5000 + CraftedDataSet::kPlaneOffset);
    const std::uint32_t index = (5000 + CraftedDataSet::kPlaneOffset) & (CraftedDataSet::kLevels - 1);
    const float expected = static_cast<float>(CraftedDataSet::Temperature(index) + CraftedDataSet::Offset(index));
    const std::vector<float> degrees = Temperatures(id);
    EXPECT_EQ(degrees[0], expected);
    EXPECT_EQ(degrees[kPixels - 1], expected);

    // The unicode form loads the same file.
    const std::wstring wide = std::filesystem::path(path).wstring();
    EXPECT_EQ(Calidra_SetTableW(handle, wide.c_str()), 1);
    EXPECT_EQ(Stacked(), Codes{});

    // Setting the camera up again returns the correction and the table to
    // their defaults.
    ASSERT_EQ(Calidra_SetCameraNumber(handle, 0), 1);
    EXPECT_NEAR(Calidra_GetThermoTable(handle, 6485, &ok), 125.0, 1e-9);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Raw(Capture(SensorFrame(5000)))[0], 5000);
}

TEST_F(Parameters, ALoadedDataSetStartsACalibrationAndItsHoldOff) {
    const std::string path = PathOf("crafted.dat");
    CraftedDataSet::Write(path);
    CalidraSim_SetFrameRate(0, 100);
    CalidraSim_SetFrame(0, SensorFrame(5000).Data());
    ASSERT_EQ(Calidra_SetParam(handle, 10, 1500), 1);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    EXPECT_EQ(Raw(id)[100], 5000);

    const auto requested = Clock::now();
    ASSERT_EQ(Calidra_SetTableW(handle, std::filesystem::path(path).wstring().c_str()), 1);
    ASSERT_TRUE(NextNewFrame(id));
    EXPECT_GE(MillisecondsSince(requested), 1500u);
    // The calibration over the shutter brings the raw levels of every pixel to
    // the data set's reference level, to which its offset plane then adds.
    constexpr int kCalibrated = CraftedDataSet::kReferenceLevel + CraftedDataSet::kPlaneOffset;
    std::vector<unsigned short> raw = Raw(id);
    const auto start = Clock::now();
    while (raw[777] != kCalibrated && MillisecondsSince(start) < kGuardMs) {
        ASSERT_TRUE(NextFrame(id));
        raw = Raw(id);
    }
    EXPECT_EQ(raw[777], kCalibrated);
    EXPECT_EQ(raw[kPixels - 1], kCalibrated);
}

// ---------------------------------------------------------------------------
// Live acquisition and single captures.

class Acquisition : public ApiClientTest {
protected:
    void SetUp() override {
        ApiClientTest::SetUp();
        CalidraSim_SetFrameRate(0, 100);
    }
};

TEST_F(Acquisition, PreviewTwiceKeepsOneThread) {
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
    const int threads = apitest::ThreadsOfThisProcess();
    EXPECT_EQ(Calidra_Preview(handle), 1);
    EXPECT_LE(apitest::ThreadsOfThisProcess(), threads);  // none started; one of earlier may still be ending
    // The second call did nothing at all, not even re-apply parameter 16.
    EXPECT_EQ(Stacked(), Codes{});
    ASSERT_TRUE(NextFrame(id));
    EXPECT_EQ(TakePosted(), Codes{ERR_UNSUPPORTED});
}

TEST_F(Acquisition, PausedFramesAreNeitherStoredNorPosted) {
    CalidraSim_SetFrame(0, SensorFrame(3000).Data());
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    ASSERT_EQ(Calidra_Pause(handle), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 1);
    // The pass under way when the flag was set may still store one frame; no
    // later pass stores any, however many frames the camera sends meanwhile.
    ASSERT_TRUE(apitest::WaitForTransfers(10));
    DrainFrames();
    const std::size_t settled = framesSeen.size();
    CalidraSim_SetFrame(0, SensorFrame(7000).Data());
    ASSERT_TRUE(apitest::WaitForTransfers(30));
    DrainFrames();
    EXPECT_LE(framesSeen.size() - settled, 1u);
    // The newest frame of the ring, after any store in progress has finished.
    const unsigned long newest = Calidra_GetNewID(handle);
    ASSERT_TRUE(apitest::WaitForTransfers(10));
    DrainFrames();
    EXPECT_LE(framesSeen.size() - settled, 1u);
    EXPECT_EQ(Calidra_GetNewID(handle), newest);

    ASSERT_EQ(Calidra_Start(handle), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 6), 0);
    ASSERT_TRUE(NextFrame(id));
    // Only the frame stored while pausing can be announced late.
    if (id == newest) {
        ASSERT_TRUE(NextFrame(id));
    }
    // Resumed with the newest frame the camera has, not the one left unread.
    EXPECT_EQ(Raw(id)[0], 7000);
}

TEST_F(Acquisition, APauseLongerThanTheStreamTimeoutKeepsTheStream) {
    CalidraSim_SetFrameRate(0, 30);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    ASSERT_EQ(Calidra_Pause(handle), 1);
    // The camera goes on sending while nothing is read: that is no silent
    // stream, whose end comes after 6000 ms without a frame.
    std::this_thread::sleep_for(std::chrono::milliseconds(7000));
    ASSERT_EQ(Calidra_Start(handle), 1);
    ASSERT_TRUE(NextFrame(id));
    ASSERT_TRUE(NextFrame(id));
    EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
    EXPECT_EQ(Calidra_GetParam(handle, 5), 1);
}

TEST_F(Acquisition, NucHoldsFramesOffForParameterTen) {
    ASSERT_EQ(Calidra_GetParam(handle, 10), 1200);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    const auto requested = Clock::now();
    EXPECT_EQ(Calidra_Nuc(handle), 1);
    ASSERT_TRUE(NextNewFrame(id));
    EXPECT_GE(MillisecondsSince(requested), 1200u);
    EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
}

TEST_F(Acquisition, FirstPreviewCalibratesAtOnce) {
    while (Uptime() < 31.0) std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the clock past 30 s
    ASSERT_EQ(Calidra_SetParam(handle, 15, 1), 1);
    ASSERT_EQ(Calidra_SetParam(handle, 10, 1000), 1);
    const auto started = Clock::now();
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    EXPECT_GE(MillisecondsSince(started), 1000u);
}

TEST_F(Acquisition, PostedIdIsTheNewestUntilTheNextFrame) {
    CalidraSim_SetFrameRate(0, 20);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long id = 0;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(NextFrame(id));
        const unsigned long newest = Calidra_GetNewID(handle);
        // Newer frames stored meanwhile are announced next, the newest last.
        for (int newer = 0; id != newest && newer < 30; ++newer) ASSERT_TRUE(NextFrame(id));
        EXPECT_EQ(id, newest);
    }
    ASSERT_EQ(Calidra_Close(handle), 1);
    DrainFrames();
    EXPECT_EQ(Calidra_GetNewID(handle), framesSeen.back());
    EXPECT_EQ(std::set<unsigned long>(framesSeen.begin(), framesSeen.end()).size(), framesSeen.size());
    EXPECT_EQ(std::count(framesSeen.begin(), framesSeen.end(), 0ul), 0);
}

TEST_F(Acquisition, EveryStartEmptiesTheRing) {
    const unsigned long single = Capture(SensorFrame(2000));
    ASSERT_EQ(Calidra_GetNewID(handle), single);
    // A hold-off far longer than the test keeps every frame out.
    ASSERT_EQ(Calidra_SetParam(handle, 10, 600000), 1);
    ASSERT_EQ(Calidra_Nuc(handle), 1);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    EXPECT_EQ(Calidra_GetNewID(handle), 0ul);
    std::vector<unsigned short> raw(kPixels);
    EXPECT_EQ(Calidra_GetRaw(handle, single, raw.data(), kRawBytes), 0);
    EXPECT_EQ(Stacked(), (Codes{ERR_UNSUPPORTED, ERR_ARGUMENT}));
    ASSERT_TRUE(apitest::WaitForTransfers(5));
    EXPECT_TRUE(DrainFrames().empty());
    EXPECT_EQ(Calidra_GetNewID(handle), 0ul);
}

TEST_F(Acquisition, OneShotGivesTheIdOfAnUnannouncedFrame) {
    const unsigned long first = Capture(SensorFrame::Ramp(1000));
    EXPECT_EQ(Calidra_GetNewID(handle), first);
    const std::vector<unsigned short> raw = Raw(first);
    EXPECT_EQ(raw[0], 1000 + 479);
    EXPECT_EQ(raw[kPixels - 1], 1000);
    const unsigned long second = Capture(SensorFrame(3333));
    EXPECT_NE(second, first);
    EXPECT_EQ(Calidra_GetNewID(handle), second);
    EXPECT_EQ(Raw(second)[12345], 3333);
    // Each capture prepares the ring afresh: the earlier frame is gone.
    EXPECT_EQ(Calidra_GetRaw(handle, first, std::vector<unsigned short>(kPixels).data(), kRawBytes), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_ARGUMENT});
    EXPECT_TRUE(DrainFrames().empty());
    EXPECT_EQ(TakePosted(), Codes{ERR_ARGUMENT});
}

TEST_F(Acquisition, OneShotWhilePreviewingGivesZeroAndNoCode) {
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long id = 0;
    ASSERT_TRUE(NextFrame(id));
    Stacked();
    EXPECT_EQ(Calidra_OneShot(handle), 0ul);
    EXPECT_EQ(Stacked(), Codes{});
    EXPECT_EQ(Calidra_GetParam(handle, 5), 1);
}

// The trigger input is bit 2 of status register 7. Changes it once the capture
// has read the register `reads` more times.
class TriggerInput {
public:
    TriggerInput() { CalidraSim_ClearCommandLog(0); }
    ~TriggerInput() {
        if (thread_.joinable()) thread_.join();
    }
    TriggerInput(const TriggerInput&) = delete;
    TriggerInput& operator=(const TriggerInput&) = delete;

    // Values the register takes in turn, each after two more reads of it.
    void Play(std::vector<int> values) {
        thread_ = std::thread([values = std::move(values)] {
            for (int value : values) {
                if (!apitest::WaitForPackets(apitest::kRegisterReadPacket, 7, 2)) return;
                CalidraSim_SetRegister(0, 7, value);
            }
        });
    }

private:
    std::thread thread_;
};

class Trigger : public ApiClientTest {
protected:
    // A trigger capture while register 7 takes these values in turn.
    unsigned long TriggerWhilePlaying(std::vector<int> values) {
        TriggerInput input;
        input.Play(std::move(values));
        return Calidra_Trigger(handle);
    }
};

TEST_F(Trigger, AFallingEdgeCapturesOneFrame) {
    CalidraSim_SetFrame(0, SensorFrame(4321).Data());
    CalidraSim_SetRegister(0, 7, 0x04);
    const unsigned long id = TriggerWhilePlaying({0x00});
    ASSERT_NE(id, 0ul);
    EXPECT_EQ(Calidra_GetNewID(handle), id);
    EXPECT_EQ(Raw(id)[100], 4321);
    EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
    EXPECT_TRUE(DrainFrames().empty());
}

TEST_F(Trigger, OnlyBitTwoFallingCounts) {
    // The other bits fall while bit 2 stays set: no edge.
    CalidraSim_SetRegister(0, 7, 0xFF);
    unsigned long id = TriggerWhilePlaying({0x04});
    EXPECT_EQ(id, 0ul);
    EXPECT_EQ(Stacked(), (Codes{ERR_UNSUPPORTED, ERR_FRAME}));
    EXPECT_EQ(Calidra_GetNewID(handle), 0ul);

    // Bit 2 falls among other bits rising: an edge.
    CalidraSim_SetRegister(0, 7, 0x07);
    id = TriggerWhilePlaying({0xFB});
    EXPECT_NE(id, 0ul);
    EXPECT_EQ(Stacked(), Codes{ERR_UNSUPPORTED});
}

TEST_F(Trigger, ARisingEdgeAloneIsNoTrigger) {
    CalidraSim_SetRegister(0, 7, 0xFB);
    EXPECT_EQ(TriggerWhilePlaying({0xFF}), 0ul);
    EXPECT_EQ(Stacked(), (Codes{ERR_UNSUPPORTED, ERR_FRAME}));
    EXPECT_EQ(TakePosted(), (Codes{ERR_UNSUPPORTED, ERR_FRAME}));
}

// ---------------------------------------------------------------------------
// The ring and its readouts.

class Ring : public ApiClientTest {
protected:
    // The raw, colour and temperature readouts of id into one buffer, each told
    // the buffer holds its own size and `extra` bytes more (fewer when negative).
    Codes ReadEachKind(unsigned long id, unsigned char* buffer, long extra) {
        const auto size = [extra](unsigned long bytes) { return static_cast<unsigned long>(bytes + extra); };
        return {Calidra_GetRaw(handle, id, reinterpret_cast<unsigned short*>(buffer), size(kRawBytes)),
                Calidra_GetColor(handle, id, buffer, size(kColourBytes)),
                Calidra_GetTemperature(handle, id, reinterpret_cast<float*>(buffer), size(kTemperatureBytes))};
    }
};

TEST_F(Ring, IdZeroIsRejectedWhileSlotsHoldIt) {
    Capture(SensorFrame(2000));
    std::vector<unsigned char> buffer(kTemperatureBytes);
    EXPECT_EQ(ReadEachKind(0, buffer.data(), 0), (Codes{0, 0, 0}));
    EXPECT_EQ(Stacked(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT, ERR_ARGUMENT}));
    EXPECT_EQ(TakePosted(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT, ERR_ARGUMENT}));
}

TEST_F(Ring, ABufferOfExactlyTheSizePassesAndOneByteLessFails) {
    const unsigned long id = Capture(SensorFrame(2000));
    std::vector<unsigned char> buffer(kTemperatureBytes + 8, 0xCD);
    auto* raw = reinterpret_cast<unsigned short*>(buffer.data());
    auto* degrees = reinterpret_cast<float*>(buffer.data());
    EXPECT_EQ(ReadEachKind(id, buffer.data(), -1), (Codes{0, 0, 0}));
    EXPECT_EQ(Stacked(), (Codes{ERR_MEMORY, ERR_MEMORY, ERR_MEMORY}));
    // A refused readout writes nothing.
    EXPECT_EQ(buffer[0], 0xCD);
    EXPECT_EQ(Calidra_GetRaw(handle, id, raw, kRawBytes), 1);
    EXPECT_EQ(raw[kPixels - 1], 2000);
    EXPECT_EQ(buffer[kRawBytes], 0xCD);
    EXPECT_EQ(Calidra_GetColor(handle, id, buffer.data(), kColourBytes), 1);
    EXPECT_EQ(buffer[kColourBytes], 0xCD);
    EXPECT_EQ(Calidra_GetTemperature(handle, id, degrees, kTemperatureBytes), 1);
    EXPECT_EQ(buffer[kTemperatureBytes], 0xCD);
    EXPECT_EQ(Calidra_GetTemperature(handle, id, degrees, kTemperatureBytes + 8), 1);
    EXPECT_EQ(Stacked(), Codes{});
    // A buffer that is not there is refused, never written through.
    EXPECT_EQ(ReadEachKind(id, nullptr, 0), (Codes{0, 0, 0}));
    EXPECT_EQ(Stacked(), (Codes{ERR_ARGUMENT, ERR_ARGUMENT, ERR_ARGUMENT}));
    EXPECT_EQ(Calidra_GetRaw(handle, id, nullptr, 0), 0);
    EXPECT_EQ(Stacked(), Codes{ERR_MEMORY});
}

TEST_F(Ring, FlipDisplayReversesRawColourAndTemperatureRows) {
    SensorFrame frame = SensorFrame::Ramp(1500);
    frame.Set(0, 5, 2600);  // one pixel of its own in line 0
    const unsigned long id = Capture(frame);
    const std::vector<unsigned short> raw = Raw(id);
    const std::vector<unsigned char> colour = Colour(id);
    const std::vector<float> degrees = Temperatures(id);
    ASSERT_EQ(Calidra_SetParam(handle, 17, 1), 1);
    const std::vector<unsigned short> rawFlipped = Raw(id);
    const std::vector<unsigned char> colourFlipped = Colour(id);
    const std::vector<float> degreesFlipped = Temperatures(id);
    for (int k = 0; k < kHeight; ++k) {
        const std::size_t row = static_cast<std::size_t>(k) * kWidth;
        const std::size_t mirrored = static_cast<std::size_t>(kHeight - 1 - k) * kWidth;
        ASSERT_TRUE(std::equal(rawFlipped.begin() + row, rawFlipped.begin() + row + kWidth, raw.begin() + mirrored))
            << "row " << k;
        ASSERT_TRUE(
            std::equal(degreesFlipped.begin() + row, degreesFlipped.begin() + row + kWidth, degrees.begin() + mirrored))
            << "row " << k;
        ASSERT_TRUE(std::equal(colourFlipped.begin() + 3 * row, colourFlipped.begin() + 3 * (row + kWidth),
                               colour.begin() + 3 * mirrored))
            << "row " << k;
    }
    // Flipped, the first row is sensor line 0.
    EXPECT_EQ(rawFlipped[0], 1500);
    EXPECT_EQ(rawFlipped[5], 2600);
    EXPECT_EQ(rawFlipped[kPixels - 1], 1500 + 479);
    EXPECT_EQ(degreesFlipped[5], static_cast<float>(2600 * 0.032133676092544985 - 83.38688946015424));
    // Set back, the rows come in the device's order again.
    ASSERT_EQ(Calidra_SetParam(handle, 17, 0), 1);
    EXPECT_EQ(Raw(id)[0], 1500 + 479);
}

TEST_F(Ring, AFrameThirtyFramesOldIsGone) {
    CalidraSim_SetFrameRate(0, 100);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    std::vector<unsigned long> posted;
    unsigned long id = 0;
    while (posted.size() < 40) {
        ASSERT_TRUE(NextFrame(id));
        posted.push_back(id);
    }
    ASSERT_EQ(Calidra_Close(handle), 1);
    for (unsigned long late : DrainFrames()) posted.push_back(late);
    Stacked();
    std::vector<unsigned short> raw(kPixels);
    for (std::size_t back = 1; back <= 30; ++back)
        EXPECT_EQ(Calidra_GetRaw(handle, posted[posted.size() - back], raw.data(), kRawBytes), 1) << back;
    EXPECT_EQ(Stacked(), Codes{});
    for (std::size_t back = 31; back <= 40; ++back)
        EXPECT_EQ(Calidra_GetRaw(handle, posted[posted.size() - back], raw.data(), kRawBytes), 0) << back;
    EXPECT_EQ(Stacked(), Codes(10, ERR_ARGUMENT));
}

TEST_F(Ring, TemperatureOfAnOlderFrameConvertsThatFrame) {
    // The camera's table reads 0.0 degrees at level 2595 and 125.0 at 6485.
    // Slow frames and a pause keep the older frame in the ring while it is read.
    CalidraSim_SetFrameRate(0, 10);
    CalidraSim_SetFrame(0, SensorFrame(2595).Data());
    ASSERT_EQ(Calidra_Preview(handle), 1);
    unsigned long cold = 0;
    ASSERT_TRUE(NextFrame(cold));
    CalidraSim_SetFrame(0, SensorFrame(6485).Data());
    unsigned long hot = 0;
    do {
        ASSERT_TRUE(NextFrame(hot));
    } while (Raw(hot)[0] != 6485);
    ASSERT_EQ(Calidra_Pause(handle), 1);
    // Still previewing: the older frame is in the ring and converts as itself.
    EXPECT_NEAR(Temperatures(cold)[777], 0.0f, 1e-4f);
    EXPECT_NEAR(Temperatures(hot)[777], 125.0f, 1e-4f);
}

template <typename T>
std::vector<T> ReadArray(const std::string& path) {
    std::vector<T> values(kPixels);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(values.data()), static_cast<std::streamsize>(kPixels * sizeof(T)));
    EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(kPixels * sizeof(T))) << path;
    return values;
}

TEST_F(Ring, TemperatureArraysClampToTheirType) {
    // Every level from 0 to 16383 somewhere in the frame.
    SensorFrame frame(0);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            frame.Set(y, x,
                      static_cast<std::uint16_t>(std::uint64_t{SensorFrame::Index(y, x)} * 16383 / (kPixels - 1)));
    Capture(frame);
    ASSERT_EQ(Calidra_SaveA(handle, PathOf("t.s8").c_str(), 10), 1);
    ASSERT_EQ(Calidra_SaveA(handle, PathOf("t.u8").c_str(), 11), 1);
    ASSERT_EQ(Calidra_SaveA(handle, PathOf("t.i32").c_str(), 12), 1);
    const std::vector<std::int8_t> s8 = ReadArray<std::int8_t>(PathOf("t.s8"));
    const std::vector<std::uint8_t> u8 = ReadArray<std::uint8_t>(PathOf("t.u8"));
    const std::vector<std::int32_t> i32 = ReadArray<std::int32_t>(PathOf("t.i32"));
    // The extreme levels read -999 degrees in the built-in table. The arrays
    // hold the bottom row first: sensor line 0 last.
    const std::size_t coldest = SensorFrame::ReadoutIndex(0, 0);
    const std::size_t hottest = SensorFrame::ReadoutIndex(kHeight - 1, kWidth - 1);
    EXPECT_EQ(i32[coldest], -999);
    EXPECT_EQ(i32[hottest], -999);
    EXPECT_EQ(s8[coldest], -128);
    EXPECT_EQ(s8[hottest], -128);
    EXPECT_EQ(u8[coldest], 0);
    EXPECT_EQ(u8[hottest], 0);
    // Truncated toward zero, the 8-bit types are the integers held at their ends.
    int below = 0, above = 0, between = 0;
    for (std::size_t i = 0; i < kPixels; ++i) {
        ASSERT_EQ(s8[i], std::clamp(i32[i], -128, 127)) << i;
        ASSERT_EQ(u8[i], std::clamp(i32[i], 0, 255)) << i;
        below += i32[i] < -128;
        above += i32[i] > 127;
        between += i32[i] > -128 && i32[i] < 0;
    }
    // The table reaches past both ends of the signed type and below freezing.
    EXPECT_GT(below, 0);
    EXPECT_GT(above, 0);
    EXPECT_GT(between, 0);
}

// ---------------------------------------------------------------------------
// Pseudo-colour mapping.

class Colours : public ApiClientTest {};

TEST_F(Colours, DefaultRangeOverThePalette) {
    struct Probe {
        int level;
        Rgb colour;
    };
    // Levels whose palette step under the range 1000..3000 is 0, 0, 30, 60,
    // 120, 180, 240, 290, 300, 330, 359.
    const Probe probes[] = {
        {1000, kBlack},       {1001, {5, 0, 6}},     {1005, {5, 0, 6}},       {1167, {63, 0, 132}},
        {1334, {0, 4, 254}},  {1667, {0, 254, 249}}, {2000, {4, 254, 0}},     {2334, {254, 249, 0}},
        {2612, {254, 38, 0}}, {2667, {255, 3, 7}},   {2834, {255, 129, 194}}, {2999, {255, 253, 255}},
        {3000, kWhite},       {0, kBlack},           {16383, kWhite}};
    SensorFrame frame(2000);
    int column = 0;
    for (const Probe& probe : probes) frame.Set(0, column++, static_cast<std::uint16_t>(probe.level));
    const unsigned long id = Capture(frame);
    const std::vector<unsigned char> colour = Colour(id);
    column = 0;
    for (const Probe& probe : probes) EXPECT_EQ(ColourAt(colour, 0, column++), probe.colour) << probe.level;
    // The range then followed the central window, where every level is 2000.
    EXPECT_EQ(Calidra_GetParam(handle, 13), 1880);
    EXPECT_EQ(Calidra_GetParam(handle, 14), 2120);
    EXPECT_EQ(Calidra_GetParam(handle, 12), -1);
}

TEST_F(Colours, AutomaticRangeFollowsOnlyTheCentralWindow) {
    // Readout rows 41 to 439 and columns 41 to 599 are the window: sensor
    // lines 40 to 438. Just outside it, the coldest and hottest levels.
    SensorFrame frame(5500);
    frame.Set(kHeight - 1 - 41, 41, 5000);
    frame.Set(kHeight - 1 - 439, 599, 6000);
    frame.Set(kHeight - 1 - 40, 300, 16383);
    frame.Set(kHeight - 1 - 440, 300, 0);
    frame.Set(kHeight - 1 - 200, 40, 16383);
    frame.Set(kHeight - 1 - 200, 600, 0);
    frame.Set(kHeight - 1 - 0, 0, 16383);
    frame.Set(kHeight - 1 - 479, 639, 0);
    const unsigned long first = Capture(frame);
    // This frame was coloured with the levels it found: 5500 is white.
    EXPECT_EQ(ColourAt(Colour(first), 240, 320), kWhite);
    EXPECT_EQ(Calidra_GetParam(handle, 13), 4880);
    EXPECT_EQ(Calidra_GetParam(handle, 14), 6120);

    const unsigned long second = Capture(frame);
    const std::vector<unsigned char> colour = Colour(second);
    // (5500 - 4880) x 360 / 1240 = 180.
    EXPECT_EQ(ColourAt(colour, 240, 320), (Rgb{4, 254, 0}));
    EXPECT_EQ(ColourAt(colour, kHeight - 1 - 40, 300), kWhite);
    EXPECT_EQ(ColourAt(colour, kHeight - 1 - 440, 300), kBlack);
    EXPECT_EQ(Calidra_GetParam(handle, 13), 4880);
    EXPECT_EQ(Calidra_GetParam(handle, 14), 6120);
}

TEST_F(Colours, AutomaticRangeStaysWithinTheLevels) {
    SensorFrame frame(8000);
    frame.Set(240, 100, 50);
    frame.Set(241, 500, 16300);
    Capture(frame);
    EXPECT_EQ(Calidra_GetParam(handle, 13), 0);
    EXPECT_EQ(Calidra_GetParam(handle, 14), 16383);
}

TEST_F(Colours, ACounterFollowsThatManyFramesThenHolds) {
    ASSERT_EQ(Calidra_SetParam(handle, 12, 3), 1);
    const int levels[] = {2000, 4000, 6000, 8000};
    const int counters[] = {2, 1, 0, 0};
    for (int i = 0; i < 4; ++i) {
        Capture(SensorFrame(static_cast<std::uint16_t>(levels[i])));
        EXPECT_EQ(Calidra_GetParam(handle, 12), counters[i]) << i;
        EXPECT_EQ(Calidra_GetParam(handle, 13), std::min(levels[i], 6000) - 120) << i;
        EXPECT_EQ(Calidra_GetParam(handle, 14), std::min(levels[i], 6000) + 120) << i;
    }
}

TEST_F(Colours, ACollapsedFixedRangeIsBlackAndWhite) {
    ASSERT_EQ(Calidra_SetParam(handle, 12, 0), 1);
    ASSERT_EQ(Calidra_SetParam(handle, 13, 2000), 1);
    ASSERT_EQ(Calidra_SetParam(handle, 14, 2000), 1);
    SensorFrame frame(2000);
    const int levels[] = {0, 1999, 2000, 2001, 16383};
    const Rgb expected[] = {kBlack, kBlack, kBlack, kWhite, kWhite};
    for (int j = 0; j < 5; ++j) frame.Set(300, j, static_cast<std::uint16_t>(levels[j]));
    const std::vector<unsigned char> colour = Colour(Capture(frame));
    for (int j = 0; j < 5; ++j) EXPECT_EQ(ColourAt(colour, 300, j), expected[j]) << levels[j];
    EXPECT_EQ(Calidra_GetParam(handle, 12), 0);
    EXPECT_EQ(Calidra_GetParam(handle, 13), 2000);
    EXPECT_EQ(Calidra_GetParam(handle, 14), 2000);
}

TEST_F(Colours, LevelsBeyondTheRawRangeAreHonoured) {
    // Nothing checks the levels a client sets: a lower level below 0 makes
    // level 0 a colour, an upper level above 16383 keeps 16383 a colour.
    ASSERT_EQ(Calidra_SetParam(handle, 12, 0), 1);
    ASSERT_EQ(Calidra_SetParam(handle, 13, -1), 1);
    ASSERT_EQ(Calidra_SetParam(handle, 14, 99999), 1);
    SensorFrame frame(0);
    frame.Set(10, 10, 16383);
    const std::vector<unsigned char> colour = Colour(Capture(frame));
    // Level 0: trunc(1 x 360 / 100000) = 0; level 16383: trunc(16384 x 360 / 100000) = 58.
    EXPECT_EQ(ColourAt(colour, 0, 0), (Rgb{5, 0, 6}));
    EXPECT_EQ(ColourAt(colour, 10, 10), (Rgb{4, 0, 250}));
}

}  // namespace
}  // namespace calidra
