#include "output/CorrectionFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "device/CorrectionPlanes.h"
#include "device/FakeSensorSettings.h"
#include "device/SensorCorrection.h"
#include "output/OutputTestFiles.h"
#include "support/DataSetBytes.h"
#include "support/Lcg.h"
#include "support/ReferencePixel.h"

namespace calidra {
namespace {

using test::Le32At;
using test::ReadAll;
using test::ScratchDir;

constexpr std::size_t kPixels = 640 * 480;
constexpr std::size_t kPlaneBytes = kPixels * 8;

// Planes whose every value tells plane and pixel apart.
CorrectionPlanes TellingPlanes() {
    CorrectionPlanes planes;
    EXPECT_EQ(planes.InitPlanes(640, 480), 1);
    for (int p = 0; p < CorrectionPlanes::kPlaneCount; ++p) {
        auto values = planes.Values(static_cast<CorrectionPlanes::Plane>(p));
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = p * 1e6 + static_cast<double>(i) / 3.0 - 7.25;
    }
    planes.SetTagValue(0x12345);
    planes.SetScaleValue(1234.5625);
    planes.SetFlags(0);
    return planes;
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void ExpectSamePlanes(const CorrectionPlanes& a, const CorrectionPlanes& b, int planeCount = 4) {
    for (int p = 0; p < planeCount; ++p) {
        auto plane = static_cast<CorrectionPlanes::Plane>(p);
        ASSERT_EQ(a.Values(plane).size(), b.Values(plane).size());
        EXPECT_EQ(std::memcmp(a.Values(plane).data(), b.Values(plane).data(), a.Values(plane).size_bytes()), 0) << p;
    }
}

class CorrectionFileTest : public ::testing::Test {
protected:
    // A file saved from TellingPlanes, to be edited by the tests.
    std::vector<std::uint8_t> SavedBytes() {
        EXPECT_EQ(SaveCorrectionFile(TellingPlanes(), dir.Wide("saved.dat").c_str()), 1);
        return ReadAll(dir.Path("saved.dat"));
    }
    // Planes in use before a load that must be refused.
    static CorrectionPlanes InUse() {
        CorrectionPlanes planes;
        EXPECT_EQ(planes.InitPlanes(640, 480), 1);
        planes.Gain()[5] = 3.5;
        planes.SetTagValue(77);
        planes.SetScaleValue(2.0);
        planes.SetFlags(9);
        return planes;
    }
    void ExpectRefusedAndUnchanged(const std::vector<std::uint8_t>& bytes) {
        WriteFile(dir.Path("bad.dat"), bytes);
        CorrectionPlanes planes = InUse();
        EXPECT_EQ(LoadCorrectionFile(planes, dir.Wide("bad.dat").c_str()), 0);
        CorrectionPlanes before = InUse();
        ExpectSamePlanes(planes, before);
        EXPECT_EQ(planes.TagValue(), 77);
        EXPECT_EQ(planes.ScaleValue(), 2.0);
        EXPECT_EQ(planes.Flags(), 9);
    }
    ScratchDir dir;
};

TEST_F(CorrectionFileTest, SavedFileLayout) {
    auto bytes = SavedBytes();
    ASSERT_EQ(bytes.size(), 9830448u);
    EXPECT_EQ(std::memcmp(bytes.data(), "VL-CORSET-V1020\0", 16), 0);
    EXPECT_EQ(Le32At(bytes, 16), 640u);
    EXPECT_EQ(Le32At(bytes, 20), 480u);
    EXPECT_EQ(Le32At(bytes, 24), 0x12345u);
    EXPECT_EQ(Le32At(bytes, 28), 2457600u);
    EXPECT_EQ(GetLEDouble(bytes.data() + 32), 1234.5625);
    EXPECT_EQ(Le32At(bytes, 40), 0u);
    EXPECT_EQ(Le32At(bytes, 44), 0u);
    EXPECT_EQ(GetLEDouble(bytes.data() + 48 + 8), 1.0 / 3.0 - 7.25);
    EXPECT_EQ(GetLEDouble(bytes.data() + 48 + 3 * kPlaneBytes), 3e6 - 7.25);
}

TEST_F(CorrectionFileTest, RoundTripRestoresEveryPlaneAndValue) {
    CorrectionPlanes original = TellingPlanes();
    ASSERT_EQ(SaveCorrectionFile(original, dir.Wide("nuc.dat").c_str()), 1);
    CorrectionPlanes loaded = InUse();
    ASSERT_EQ(LoadCorrectionFile(loaded, dir.Wide("nuc.dat").c_str()), 1);
    ExpectSamePlanes(loaded, original);
    EXPECT_EQ(loaded.TagValue(), 0x12345);
    EXPECT_EQ(loaded.ScaleValue(), 1234.5625);
    EXPECT_EQ(loaded.Flags(), 0);
    EXPECT_EQ(loaded.Width(), 640);
    EXPECT_EQ(loaded.Height(), 480);
}

TEST_F(CorrectionFileTest, SaveRefusesMissingPlanesAndPaths) {
    CorrectionPlanes empty;
    EXPECT_EQ(SaveCorrectionFile(empty, dir.Wide("none.dat").c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("none.dat")));
    EXPECT_EQ(SaveCorrectionFile(TellingPlanes(), nullptr), 0);
    EXPECT_EQ(SaveCorrectionFile(TellingPlanes(), dir.Wide("no/such/dir.dat").c_str()), 0);
    CorrectionPlanes planes = TellingPlanes();
    EXPECT_EQ(LoadCorrectionFile(planes, nullptr), 0);
    EXPECT_EQ(LoadCorrectionFile(planes, dir.Wide("missing.dat").c_str()), 0);
    ExpectSamePlanes(planes, TellingPlanes());
}

TEST_F(CorrectionFileTest, Version1000FileHasNoScalePlane) {
    auto bytes = SavedBytes();
    std::memcpy(bytes.data(), "VL-CORSET-V1000", 15);
    bytes.resize(48 + 3 * kPlaneBytes);
    WriteFile(dir.Path("old.dat"), bytes);
    CorrectionPlanes planes = InUse();
    planes.Scale()[0] = 5.0;
    ASSERT_EQ(LoadCorrectionFile(planes, dir.Wide("old.dat").c_str()), 1);
    ExpectSamePlanes(planes, TellingPlanes(), 3);
    for (double d : planes.Scale()) ASSERT_EQ(d, 1.0);
}

TEST_F(CorrectionFileTest, VersionTextIsReadAsDecimalNumber) {
    auto magic = [](const char* text) {
        std::uint8_t bytes[16] = {};
        std::memcpy(bytes, text, std::min<std::size_t>(std::strlen(text), sizeof bytes));
        return CorrectionFileVersion(bytes);
    };
    EXPECT_EQ(magic("VL-CORSET-V1020"), 1020);
    EXPECT_EQ(magic("VL-CORSET-V0999"), 999);
    EXPECT_EQ(magic("VL-CORSET-Vabcd"), 1000);
    EXPECT_EQ(magic("VL-CORSET-V"), 1000);
    EXPECT_EQ(magic("VL-CORSET-V 1030x"), 1030);
    EXPECT_EQ(magic("VL-CORSET-V-1020"), -1020);
    // Five digits filling the magic to its last byte, with no terminator: the
    // number ends with the magic.
    EXPECT_EQ(magic("VL-CORSET-V10239999"), 10239);
}

TEST_F(CorrectionFileTest, NonNumberVersionLoadsAsVersion1000) {
    auto bytes = SavedBytes();
    std::memcpy(bytes.data() + 11, "abcd", 4);
    bytes.resize(48 + 3 * kPlaneBytes);
    WriteFile(dir.Path("text.dat"), bytes);
    CorrectionPlanes planes = InUse();
    ASSERT_EQ(LoadCorrectionFile(planes, dir.Wide("text.dat").c_str()), 1);
    ExpectSamePlanes(planes, TellingPlanes(), 3);
    EXPECT_EQ(planes.Scale()[100], 1.0);
}

TEST_F(CorrectionFileTest, RefusedFilesLeaveTheCorrectionUnchanged) {
    const auto good = SavedBytes();
    auto bytes = good;
    std::memcpy(bytes.data(), "VL-CORSET-V0999", 15);
    ExpectRefusedAndUnchanged(bytes);

    bytes = good;
    bytes[3] = 'X';  // magic
    ExpectRefusedAndUnchanged(bytes);

    bytes = good;
    PutLE32(bytes.data() + 28, 2457601);  // plane size not width x height x 8
    ExpectRefusedAndUnchanged(bytes);

    bytes = good;  // smaller planes than the frame, with a matching plane size
    PutLE32(bytes.data() + 16, 320);
    PutLE32(bytes.data() + 20, 240);
    PutLE32(bytes.data() + 28, 320 * 240 * 8);
    ExpectRefusedAndUnchanged(bytes);

    bytes = good;  // ends inside plane D
    bytes.resize(bytes.size() - 1);
    ExpectRefusedAndUnchanged(bytes);

    bytes = good;  // ends inside the header
    bytes.resize(40);
    ExpectRefusedAndUnchanged(bytes);

    ExpectRefusedAndUnchanged({});
}

// The per-frame pass reads float shadows of the planes: every writer of the
// planes must reach the next frame corrected, bit for bit the double formula.
TEST_F(CorrectionFileTest, EveryWriterOfThePlanesReachesTheNextFrame) {
    SensorCorrection correction;
    FakeSensorSettings sensor;
    std::vector<std::uint16_t> raw(kPixels);
    test::Lcg random(3);
    for (std::uint16_t& level : raw) level = static_cast<std::uint16_t>(4000 + random.Next() % 4000);
    auto expectReference = [&](const char* after) {
        std::vector<std::uint16_t> frame = raw;
        correction.CorrectFrame(frame.data(), sensor);
        const CorrectionPlanes& planes = correction.Planes();
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < kPixels; ++i) {
            wrong += frame[i] != test::ReferencePixel(raw[i], planes.Gain()[i], planes.Offset()[i],
                                                      planes.ShutterOffset()[i], planes.Scale()[i]);
        }
        EXPECT_EQ(wrong, 0u) << "after " << after;
    };
    auto decimal = [](int plane, std::size_t i) {
        const double steps[] = {0.8 + (i * 7 % 41) / 100.0, -50.0 + (i * 13 % 1001) / 10.0,
                                -25.0 + (i * 17 % 501) / 10.0, 0.5 + (i * 3 % 21) / 20.0};
        return steps[plane];
    };

    correction.Reset();
    expectReference("the camera's set-up");
    const test::Bytes dataSet = test::DataSetBytes()
                                    .Section(test::BadPixelSection({}, 0))
                                    .Section(test::SettingsSection("VL-SETTING-1011", test::kShippedSensorValues, 6000))
                                    .Section(test::PlaneSection(1, 1024.0, kPixels, decimal))
                                    .bytes();
    ASSERT_EQ(correction.LoadDataSet(dataSet.data(), dataSet.size(), sensor), 1);
    expectReference("a data set");

    CorrectionPlanes saved;
    ASSERT_EQ(saved.InitPlanes(640, 480), 1);
    for (std::size_t i = 0; i < kPixels; ++i) saved.Gain()[i] = 1.0 + static_cast<double>(i % 97) / 1000.0;
    ASSERT_EQ(SaveCorrectionFile(saved, dir.Wide("writers.dat").c_str()), 1);
    ASSERT_EQ(LoadCorrectionFile(correction.Planes(), dir.Wide("writers.dat").c_str()), 1);
    expectReference("a correction file");

    correction.RequestCalibration(2);
    std::vector<std::uint16_t> shutter(kPixels, 5000);
    shutter[9] = 7001;
    correction.CorrectFrame(shutter.data(), sensor);
    shutter.assign(kPixels, 5000);
    correction.CorrectFrame(shutter.data(), sensor);
    ASSERT_FALSE(correction.Calibration().Requested());
    expectReference("a shutter calibration");

    correction.Planes().Scale()[100] = 0.75;
    correction.Planes().Values(CorrectionPlanes::kOffset)[200] = 1234.5;
    expectReference("writes through the planes");

    correction.Reset();
    expectReference("the camera's set-up again");
}

}  // namespace
}  // namespace calidra
