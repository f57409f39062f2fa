#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "device/DataSetLoader.h"
#include "device/FakeSensorSettings.h"
#include "device/NucTableSet.h"
#include "device/SensorCorrection.h"
#include "device/SensorFrame.h"
#include "support/BuildPaths.h"
#include "support/DataSetBytes.h"

namespace calidra {
namespace {

using test::BadPixelSection;
using test::Bytes;
using test::DataSetBytes;
using test::Put32;
using test::PutDouble;

Bytes SettingsSection(const std::string& version, int referenceLevel) {
    return test::SettingsSection("VL-SETTING-" + version, {700, 3, 2200, 1100, 1700, 3400, 2300, 2900, 0xDEADBEEF},
                                 static_cast<std::uint32_t>(referenceLevel));
}

// Planes of three doubles each (P = 24): A 1.5, 2.5, 3.5; B 10, 20, 30; ...
Bytes SmallPlaneSection() {
    Bytes data = test::PlaneSection(0x1234, 2048.5, 3, [](int k, std::size_t i) { return (k + 1) * 10.0 + i + 0.5; });
    Put32(data, 16, 0xAAAAAAAA);
    return data;
}

Bytes LevelSection(std::int32_t n, std::size_t valuesPresent) {
    std::vector<double> values(valuesPresent);
    for (std::size_t i = 0; i < valuesPresent; ++i) values[i] = i < 4 ? -10.0 * i : 1.0 * i;
    return test::LevelSection(static_cast<std::uint32_t>(n), values, {100, 101, 102, 103, 104});
}

Bytes NucBlock(std::int32_t width, std::int32_t height, std::int32_t count, int recordsPresent) {
    return test::NucBlock(width, height, count, recordsPresent, 1000);
}

Bytes CraftedDataSet(const std::string& version = "1011") {
    return DataSetBytes()
        .Section(BadPixelSection({{10, 5, 0, 9}, {600, 470, 1, 8}}, 2))
        .Section(SettingsSection(version, 5500))
        .Section(SmallPlaneSection())
        .Section(LevelSection(4, 8))
        .Section(NucBlock(2, 2, 2, 2))
        .bytes();
}

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override { correction.Reset(); }
    int Load(const Bytes& bytes) { return correction.LoadDataSet(bytes.data(), bytes.size(), sensor); }

    SensorCorrection correction;
    FakeSensorSettings sensor;
};

TEST_F(DataSetTest, CraftedFileLoadsValueByValue) {
    correction.Levels().StoredValues()[0] = -1;
    ASSERT_EQ(Load(CraftedDataSet()), 1);

    const auto& bad = correction.BadPixels().Entries();
    ASSERT_EQ(bad.size(), 2u);
    EXPECT_EQ(bad[0].x, 10);
    EXPECT_EQ(bad[0].y, 5);
    EXPECT_EQ(bad[0].direction, 0);
    EXPECT_EQ(bad[0].reserved, 9);
    EXPECT_EQ(bad[1].x, 600);
    EXPECT_EQ(bad[1].y, 470);
    EXPECT_EQ(bad[1].direction, 1);
    EXPECT_EQ(bad[1].reserved, 8);

    const std::vector<std::string> expectedCalls = {
        "Assign",          "SetWord49(700)",  "SetReg48Mode(3)", "SetPair40(2200)", "SetPair42(1100)",
        "SetPair64(1700)", "SetPair66(3400)", "SetPair68(2300)", "SetPair70(2900)", "Sleep(100)"};
    EXPECT_EQ(sensor.calls, expectedCalls);
    EXPECT_EQ(sensor.values.unused, static_cast<std::int32_t>(0xDEADBEEF));
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 5500);

    const CorrectionPlanes& planes = correction.Planes();
    EXPECT_EQ(planes.PixelCount(), kFramePixels);
    EXPECT_EQ(planes.TagValue(), 0x1234);
    EXPECT_EQ(planes.ScaleValue(), 2048.5);
    EXPECT_EQ(planes.Flags(), 0);
    for (int k = 0; k < 4; ++k) {
        const auto values = planes.Values(static_cast<CorrectionPlanes::Plane>(k));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(values[i], (k + 1) * 10.0 + i + 0.5) << "plane " << k << " value " << i;
        EXPECT_EQ(values[3], k == 0 || k == 3 ? 1.0 : 0.0);  // beyond P: fresh
    }

    const LevelTable& levels = correction.Levels();
    EXPECT_EQ(levels.Count(), 4u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        double t, o;
        ASSERT_TRUE(levels.GetTemperature(i, t));
        ASSERT_TRUE(levels.GetOffset(i, o));
        EXPECT_EQ(t, -10.0 * i);
        EXPECT_EQ(o, 4.0 + i);
    }
    EXPECT_EQ(levels.StoredValues(), (std::array<std::int32_t, 5>{100, 101, 102, 103, 104}));

    const NucTableSet& nuc = correction.NucTables();
    EXPECT_EQ(nuc.Width(), 2);
    EXPECT_EQ(nuc.Height(), 2);
    EXPECT_EQ(nuc.RecordCount(), 2);
    EXPECT_EQ(nuc.StoredValues(), (std::array<std::int32_t, 2>{77, 88}));
    ASSERT_EQ(nuc.Records().size(), 2u);
    EXPECT_EQ(nuc.Records()[1].values, (std::array<std::int32_t, 3>{10, 11, 12}));
    EXPECT_EQ(nuc.Records()[1].levels, (std::vector<std::uint16_t>{1000, 1001, 1002, 1003}));
    EXPECT_EQ(nuc.Records()[0].levels, (std::vector<std::uint16_t>{0, 1, 2, 3}));
}

TEST_F(DataSetTest, ReferenceLevelOnlyFromVersion1011) {
    correction.Calibration().SetReferenceLevel(1234);
    ASSERT_EQ(Load(CraftedDataSet("1010")), 1);
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 6000);
    ASSERT_EQ(Load(CraftedDataSet("1011")), 1);
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 5500);
    ASSERT_EQ(Load(CraftedDataSet("abcd")), 1);  // no number: version 1000
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 6000);
    ASSERT_EQ(Load(CraftedDataSet("+1012")), 1);
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 5500);
}

TEST_F(DataSetTest, FullSizePlanes) {
    const std::uint32_t planeBytes = kFramePixels * 8;
    Bytes planes(48 + 4 * std::size_t{planeBytes});
    Put32(planes, 28, planeBytes);
    for (int k = 0; k < 4; ++k) {
        PutDouble(planes, 48 + std::size_t{planeBytes} * k, k + 0.25);
        PutDouble(planes, 48 + std::size_t{planeBytes} * (k + 1) - 8, k + 0.75);
    }
    const Bytes file = DataSetBytes().Section({}).Section({}).Section(planes).bytes();
    ASSERT_EQ(Load(file), 1);
    for (int k = 0; k < 4; ++k) {
        const auto values = correction.Planes().Values(static_cast<CorrectionPlanes::Plane>(k));
        EXPECT_EQ(values[0], k + 0.25);
        EXPECT_EQ(values[1], 0.0);
        EXPECT_EQ(values[kFramePixels - 1], k + 0.75);
    }
}

TEST_F(DataSetTest, ForeignFilesChangeNothing) {
    correction.BadPixels().Append({1, 2, 3, 4});
    Bytes wrong = CraftedDataSet();
    wrong[3] = 'x';
    EXPECT_EQ(Load(wrong), 0);
    wrong[3] = 'D';
    EXPECT_EQ(Load({}), 0);
    EXPECT_EQ(Load(Bytes(wrong.begin(), wrong.begin() + 10)), 0);
    EXPECT_EQ(correction.LoadDataSet(nullptr, 100, sensor), 0);
    EXPECT_EQ(correction.BadPixels().Entries().size(), 1u);
    EXPECT_TRUE(sensor.calls.empty());
    EXPECT_EQ(correction.Levels().Count(), 16384u);
}

TEST_F(DataSetTest, BareMagicResetsToDefaults) {
    correction.BadPixels().Append({1, 2, 3, 4});
    for (double& gain : correction.Planes().Gain()) gain = 3.0;
    correction.Calibration().SetReferenceLevel(10);
    const Bytes bare = {'V', 'L', '-', 'D', 'A', 'T', 'S', 'E', 'T', '-', 'V'};
    ASSERT_EQ(Load(bare), 1);
    EXPECT_TRUE(correction.BadPixels().Entries().empty());
    EXPECT_EQ(correction.Planes().Gain()[0], 1.0);
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 6000);
    EXPECT_EQ(correction.Levels().Count(), 16384u);  // no level count: the table stays
    EXPECT_EQ(sensor.calls.front(), "Assign");
    EXPECT_EQ(sensor.calls[3], "SetPair40(2098)");
    EXPECT_EQ(sensor.values.word49, 636);
}

TEST_F(DataSetTest, EveryTruncationLoadsWithoutHarm) {
    const Bytes full = CraftedDataSet();
    for (std::size_t size = 11; size <= full.size(); ++size) {
        const Bytes part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
        ASSERT_EQ(Load(part), 1) << "size " << size;
        ASSERT_LE(correction.BadPixels().Entries().size(), 2u);
        ASSERT_LE(correction.NucTables().Records().size(), 2u);
        std::vector<std::uint16_t> frame(kFramePixels, 100);
        correction.CorrectFrame(frame.data(), sensor);
    }
}

TEST_F(DataSetTest, OversizedCountsAreCutToTheBytesThere) {
    Bytes levels = LevelSection(4, 5);  // four temperatures, one offset
    const Bytes file = DataSetBytes()
                           .Section(BadPixelSection({{1, 1, 0, 0}, {2, 2, 0, 0}}, 0x7FFFFFFF))
                           .Section(SettingsSection("1011", 5500))
                           .Section(Bytes(48, 0))
                           .Section(levels)
                           .Section(NucBlock(2, 2, 0x7FFFFFFF, 3))
                           .bytes();
    ASSERT_EQ(Load(file), 1);
    EXPECT_EQ(correction.BadPixels().Entries().size(), 2u);
    EXPECT_EQ(correction.NucTables().Records().size(), 3u);
    double value;
    ASSERT_TRUE(correction.Levels().GetOffset(0, value));
    EXPECT_EQ(value, 4.0);
    ASSERT_TRUE(correction.Levels().GetOffset(1, value));
    EXPECT_EQ(value, 0.0);
}

TEST_F(DataSetTest, HostileFieldsAreRefusedOrCut) {
    Bytes planes = SmallPlaneSection();
    Put32(planes, 28, 0x80000000u);  // negative plane size
    Bytes levels = LevelSection(0x7FFFFFFF, 4);
    const Bytes file = DataSetBytes()
                           .Section(BadPixelSection({{INT32_MIN, INT32_MIN, 0, 0}, {639, INT32_MAX, 7, 0}}, 2))
                           .Section(SettingsSection("99999999999999999999", INT32_MIN))
                           .Section(planes)
                           .Section(levels)
                           .Section(NucBlock(0x7FFFFFFF, 0x7FFFFFFF, 5, 0))
                           .bytes();
    ASSERT_EQ(correction.Levels().InitLevelTable(8), 1);
    ASSERT_EQ(Load(file), 1);
    EXPECT_EQ(correction.Planes().Gain()[0], 1.0);
    EXPECT_EQ(correction.Levels().Count(), 8u);
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), INT32_MIN);
    EXPECT_TRUE(correction.NucTables().Records().empty());

    std::vector<std::uint16_t> frame(kFramePixels, 100);
    correction.RequestCalibration(1);
    correction.CorrectFrame(frame.data(), sensor);
    EXPECT_EQ(frame[0], 0);
}

TEST_F(DataSetTest, HugeSectionLengthEndsTheSections) {
    const Bytes file = DataSetBytes()
                           .Section(BadPixelSection({{1, 1, 0, 0}}, 1), 0xFFFFFFF0u)
                           .Section(SettingsSection("1011", 5500))
                           .bytes();
    ASSERT_EQ(Load(file), 1);
    EXPECT_EQ(correction.BadPixels().Entries().size(), 1u);  // cut to the file
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 6000);
}

TEST_F(DataSetTest, ScrambledBytesNeverEscapeTheImage) {
    const Bytes original = CraftedDataSet();
    std::uint64_t state = 12345;
    for (int round = 0; round < 300; ++round) {
        Bytes mutated = original;
        for (int k = 0; k < 8; ++k) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const std::size_t at = 11 + (state >> 33) % (mutated.size() - 11);
            mutated[at] = static_cast<std::uint8_t>(state >> 13);
        }
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        mutated.resize(11 + (state >> 33) % (mutated.size() - 10));
        ASSERT_EQ(Load(mutated), 1);
        std::vector<std::uint16_t> frame(kFramePixels, 100);
        correction.CorrectFrame(frame.data(), sensor);
    }
}

TEST(DataSetSections, PaddedToSixteenBytes) {
    Bytes file = DataSetBytes().Section(Bytes(5)).Section(Bytes(16)).Section(Bytes(17)).Section({}).bytes();
    Put32(file, file.size(), 0);  // a header with no room for its data
    const auto sections = DataSetLoader::LocateSections(file.data(), file.size());
    EXPECT_EQ(sections[0].offset, 64u);
    EXPECT_EQ(sections[0].length, 5u);
    EXPECT_EQ(sections[1].offset, 96u);
    EXPECT_EQ(sections[2].offset, 128u);
    EXPECT_EQ(sections[2].length, 17u);
    EXPECT_EQ(sections[3].length, 0u);
    EXPECT_EQ(sections[4].length, 0u);
}

TEST(DataSetVersion, ParsedAsDecimalConversion) {
    const auto parse = [](const std::string& text) {
        return DataSetLoader::ParseDecimal(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 1000);
    };
    EXPECT_EQ(parse("1011"), 1011);
    EXPECT_EQ(parse("1011\0"
                    "5"),
              1011);
    EXPECT_EQ(parse(" \t+1010x"), 1010);
    EXPECT_EQ(parse("-7"), -7);
    EXPECT_EQ(parse("0999"), 999);
    EXPECT_EQ(parse(""), 1000);
    EXPECT_EQ(parse("-"), 1000);
    EXPECT_EQ(parse("v1011"), 1000);
    EXPECT_EQ(parse("99999999999"), INT32_MAX);
    EXPECT_EQ(parse("-99999999999"), INT32_MIN);
}

TEST(NucTables, MagicDecidesAndRecordsMustBeWhole) {
    NucTableSet set;
    Bytes block = NucBlock(2, 2, 3, 3);
    ASSERT_EQ(set.LoadNucTables(block.data(), block.size() - 1), 1);
    EXPECT_EQ(set.RecordCount(), 3);
    EXPECT_EQ(set.Records().size(), 2u);

    Bytes foreign = block;
    foreign[8] = 'X';
    EXPECT_EQ(set.LoadNucTables(foreign.data(), foreign.size()), 0);
    EXPECT_EQ(set.Records().size(), 2u);
    foreign = block;
    foreign[9] = 'X';  // only the first nine bytes count
    EXPECT_EQ(set.LoadNucTables(foreign.data(), foreign.size()), 1);
    EXPECT_EQ(set.Records().size(), 3u);

    EXPECT_EQ(set.LoadNucTables(block.data(), 9), 1);
    EXPECT_EQ(set.Width(), 0);
    EXPECT_TRUE(set.Records().empty());
    EXPECT_EQ(set.LoadNucTables(nullptr, 100), 0);

    Bytes negative = NucBlock(2, 2, 3, 3);
    Put32(negative, 16, 0xFFFFFFFF);
    EXPECT_EQ(set.LoadNucTables(negative.data(), negative.size()), 1);
    EXPECT_TRUE(set.Records().empty());
}

class DataSetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = std::filesystem::path(calidra::test::TempRoot()) / "corr-dataset.bin";
        test::SaveBytes(path, crafted);
    }
    void TearDown() override { std::filesystem::remove(path); }

    std::filesystem::path path;
    const Bytes crafted = CraftedDataSet();
};

TEST_F(DataSetFileTest, ReadsTheWholeFile) {
    Bytes image;
    ASSERT_TRUE(DataSetLoader::ReadFile(path.wstring().c_str(), image));
    EXPECT_EQ(image, crafted);

    SensorCorrection correction;
    FakeSensorSettings sensor;
    correction.Reset();
    ASSERT_EQ(correction.LoadDataSet(image.data(), image.size(), sensor), 1);
    EXPECT_EQ(correction.Calibration().ReferenceLevel(), 5500);
}

TEST_F(DataSetFileTest, RefusesMissingPaths) {
    Bytes image;
    EXPECT_FALSE(DataSetLoader::ReadFile(nullptr, image));
    EXPECT_FALSE(DataSetLoader::ReadFile(L"", image));
    const auto missing = (std::filesystem::path(calidra::test::TempRoot()) / "corr-no-such-file.bin").wstring();
    EXPECT_FALSE(DataSetLoader::ReadFile(missing.c_str(), image));
}

}  // namespace
}  // namespace calidra
