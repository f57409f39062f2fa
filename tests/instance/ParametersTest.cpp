// Numbered parameters, register pass-through, the internal temperature, the
// level table entries and camera names and selection.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>

#include "LiveTestSupport.h"
#include "support/BuildPaths.h"

namespace calidra {
namespace {

using livetest::LiveTest;

class Parameters : public LiveTest {};

TEST_F(Parameters, DefaultsAfterStartUp) {
    CCalidra fresh;
    fresh.Init(nullptr);
    const int expected[][2] = {{8, 30},    {9, 10}, {10, 1200}, {11, 2000}, {12, -1}, {13, 1000},
                               {14, 3000}, {15, 1}, {16, 0},    {17, 0},    {18, 0}};
    for (const auto& [id, value] : expected) EXPECT_EQ(fresh.GetParam(id), value) << "parameter " << id;
    EXPECT_EQ(fresh.GetParam(1), 640);
    EXPECT_EQ(fresh.GetParam(2), 480);
    EXPECT_EQ(fresh.GetParam(5), 0);
    EXPECT_EQ(fresh.GetParam(7), 0);
    EXPECT_EQ(fresh.GetNewId(), 0u);
    EXPECT_EQ(fresh.GetLastError(), 0);
}

TEST_F(Parameters, RingLengthAndTemperatureRangeAreRefused) {
    EXPECT_EQ(instance->SetParam(8, 10), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->GetParam(8), 30);
    EXPECT_EQ(instance->SetParam(16, 2), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_UNSUPPORTED);
    EXPECT_EQ(instance->GetParam(16), 0);
    EXPECT_EQ(instance->SetCameraType(3), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_UNSUPPORTED);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Parameters, StoredValuesReadBack) {
    EXPECT_EQ(instance->SetParam(15, 7), 1);
    EXPECT_EQ(instance->GetParam(15), 1);
    EXPECT_EQ(instance->SetParam(15, 0), 1);
    EXPECT_EQ(instance->GetParam(15), 0);
    const int stored[][2] = {{9, 0}, {10, 5}, {11, 1}, {12, 3}, {13, -7}, {14, 99999}, {17, 1}, {18, 2}};
    for (const auto& [id, value] : stored) {
        EXPECT_EQ(instance->SetParam(id, value), 1) << id;
        EXPECT_EQ(instance->GetParam(id), value) << id;
    }
    // A negative period would stop the loop for ever.
    EXPECT_EQ(instance->SetParam(9, -1), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->GetParam(9), 0);
}

TEST_F(Parameters, LowIdsReadTheInstanceButWriteTheCamera) {
    EXPECT_EQ(instance->GetParam(1), 640);
    EXPECT_EQ(instance->SetParam(1, 5), 1);
    EXPECT_EQ(CalidraSim_GetRegister(0, 1), 5);
    EXPECT_EQ(instance->GetParam(1), 640);
    EXPECT_EQ(instance->SetParam(6, 1), 1);
    EXPECT_EQ(CalidraSim_GetRegister(0, 6), 1);
    EXPECT_EQ(instance->GetParam(6), 0);  // the pause flag, not the register
}

TEST_F(Parameters, OtherIdsPassThroughToRegisters) {
    EXPECT_EQ(instance->SetParam(100, 0x1A5), 1);
    EXPECT_EQ(CalidraSim_GetRegister(0, 100), 0xA5);
    EXPECT_EQ(instance->GetParam(100), 0xA5);
    CalidraSim_SetRegister(0, 7, 0xF4);
    EXPECT_EQ(instance->GetParam(7), 0);  // id 7 is the recording flag
    EXPECT_EQ(instance->GetParam(19), CalidraSim_GetRegister(0, 19));
}

TEST_F(Parameters, ACameraThatCannotBeOpenedReadsZero) {
    // Register 105 would otherwise report its own number's low byte.
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_OPEN, 1);
    EXPECT_EQ(instance->GetParam(105), 0);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Parameters, InternalTemperatureOfTheReading) {
    int ok = -1;
    CalidraSim_SetInternalTemperature(0, 0);
    EXPECT_NEAR(instance->GetInternalTemperature(&ok), 385.58f, 0.01f);
    EXPECT_EQ(ok, 1);
    CalidraSim_SetInternalTemperature(0, 2642);
    ok = -1;
    EXPECT_NEAR(instance->GetInternalTemperature(&ok), -0.0298f, 0.0001f);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(instance->GetInternalTemperature(nullptr), CCalidra::InternalTemperatureOf(2642));
}

TEST_F(Parameters, AFailedTemperatureReadIsReportedAsAFailure) {
    CalidraSim_SetInternalTemperature(0, 0);
    CalidraSim_InjectFault(0, CALIDRA_SIM_FAULT_OPEN, 1);
    int ok = -1;
    EXPECT_EQ(instance->GetInternalTemperature(&ok), 0.0f);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(instance->GetLastError(), ERR_DEVICE);
}

TEST_F(Parameters, LevelTableEntriesWithinTheCount) {
    int ok = -1;
    EXPECT_EQ(instance->GetThermoTable(16384, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    ok = -1;
    // 65536 reaches the entry point as its low 16 bits: entry 0.
    const auto wrapped = static_cast<unsigned short>(65536);
    EXPECT_NEAR(instance->GetThermoTable(wrapped, &ok), -83.38688946015424, 1e-9);
    EXPECT_EQ(ok, 1);
    EXPECT_NEAR(instance->GetThermoTable(2595, &ok), 0.0, 1e-9);
    EXPECT_NEAR(instance->GetThermoTable(16383, &ok), 149.98840332, 1e-6);
    EXPECT_EQ(instance->SetThermoTable(16384, 1.0), 0);
    EXPECT_EQ(instance->SetThermoTable(10, 42.5), 1);
    EXPECT_EQ(instance->GetThermoTable(10, &ok), 42.5);
    EXPECT_EQ(instance->SetOffsetValue(10, -2.5), 1);
    EXPECT_EQ(instance->GetOffsetValue(10, &ok), -2.5);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(instance->GetOffsetValue(20000, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Parameters, DataSetPathsThatCannotLoad) {
    EXPECT_EQ(instance->SetTable(nullptr), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_FILE);
    EXPECT_EQ(instance->SetTable(L""), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_FILE);
    EXPECT_EQ(instance->SetTable(L"/nonexistent/calidra/dataset.dat"), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_FILE);
}

TEST_F(Parameters, ALoadedDataSetStartsACalibration) {
    const std::filesystem::path dir = std::filesystem::path(calidra::test::TempRoot()) / "instance-dataset";
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "bare.dat";
    {
        // The magic alone makes a data set; every section is empty.
        std::vector<char> bytes(48, 0);
        std::memcpy(bytes.data(), "VL-DATSET-V1011", 15);
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    EXPECT_FALSE(instance->Device().PendingCalibration().requested);
    EXPECT_EQ(instance->SetTable(file.wstring().c_str()), 1);
    EXPECT_TRUE(instance->Device().PendingCalibration().requested);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Parameters, NucClosesTheShutter) {
    CalidraSim_ClearCommandLog(0);
    EXPECT_EQ(instance->Nuc(), 1);
    std::vector<std::array<unsigned char, 64>> log(256);
    const int n = CalidraSim_GetCommandLog(0, reinterpret_cast<unsigned char(*)[64]>(log.data()), 256);
    bool closed = false;
    for (int i = 0; i < std::min(n, 256); ++i)
        closed |= log[static_cast<std::size_t>(i)][0] == 0x25 && log[static_cast<std::size_t>(i)][1] == 80 &&
                  log[static_cast<std::size_t>(i)][2] == 32;
    EXPECT_TRUE(closed);
}

class Cameras : public LiveTest {};

TEST_F(Cameras, NamesNeedSeventeenCharacters) {
    wchar_t name[32];
    std::wmemset(name, L'x', 32);
    EXPECT_EQ(instance->GetCameraName(0, name, 16), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->GetCameraName(0, name, 17), 1);
    EXPECT_STREQ(name, L"CalidraVX_01");
    EXPECT_EQ(instance->GetCameraName(0, nullptr, 17), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->GetCameraName(8, name, 17), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->GetCameraName(-1, name, 17), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_ARGUMENT);
    EXPECT_EQ(instance->GetCameraName(3, name, 17), 0);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Cameras, NamesCountFromOne) {
    CalidraSim_SetPresent(6, 1);
    CCalidra probing;  // presence is probed when the instance is made
    wchar_t name[17];
    EXPECT_EQ(probing.GetCameraName(6, name, 17), 1);
    EXPECT_STREQ(name, L"CalidraVX_07");
}

TEST_F(Cameras, SelectingAbsentOrOutOfRangeCamerasFails) {
    EXPECT_EQ(instance->SelectCamera(8), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_CAMERA);
    EXPECT_EQ(instance->SelectCamera(-1), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_CAMERA);
    EXPECT_EQ(instance->SelectCamera(3), 0);
    EXPECT_EQ(instance->GetLastError(), ERR_CAMERA);
    EXPECT_EQ(instance->SelectCamera(0), 1);
    EXPECT_EQ(instance->GetLastError(), 0);
}

TEST_F(Cameras, ASecondCameraCanBeChosen) {
    CalidraSim_SetPresent(2, 1);
    CCalidra probing;
    EXPECT_EQ(probing.SelectCamera(2), 1);
    EXPECT_EQ(probing.Device().GetDeviceIndex(), 2);
}

}  // namespace
}  // namespace calidra
