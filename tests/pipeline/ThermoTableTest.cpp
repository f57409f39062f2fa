#include "pipeline/ThermoTable.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/LittleEndian.h"
#include "platform/ModuleResources.h"
#include "resources/BuiltinTables.h"

namespace calidra {
namespace {

void AppendLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t bytes[4];
    PutLE32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

void AppendPoints(std::vector<std::uint8_t>& out, const std::vector<ThermoPoint>& points) {
    for (const ThermoPoint& p : points) {
        AppendLE32(out, static_cast<std::uint32_t>(p.raw));
        std::uint8_t bytes[4];
        PutLEFloat(bytes, p.temperature);
        out.insert(out.end(), bytes, bytes + 4);
    }
}

std::vector<std::uint8_t> Bare(const std::vector<ThermoPoint>& points) {
    std::vector<std::uint8_t> out;
    AppendLE32(out, static_cast<std::uint32_t>(points.size()));
    AppendPoints(out, points);
    return out;
}

std::vector<std::uint8_t> Magic(const char* text) { return std::vector<std::uint8_t>(text, text + 24); }

std::vector<std::uint8_t> Single(const std::vector<ThermoPoint>& points) {
    std::vector<std::uint8_t> out = Magic("VELMAR THERMO TABLE 1000");
    AppendLE32(out, static_cast<std::uint32_t>(points.size()));
    AppendPoints(out, points);
    return out;
}

std::vector<std::uint8_t> Collection(const std::vector<std::vector<ThermoPoint>>& tables) {
    std::vector<std::uint8_t> out = Magic("VELMAR THERMO TABLE 2000");
    AppendLE32(out, static_cast<std::uint32_t>(tables.size()));
    std::uint32_t offset = 28 + 4 * static_cast<std::uint32_t>(tables.size());
    for (const auto& table : tables) {
        AppendLE32(out, offset);
        offset += 4 + 8 * static_cast<std::uint32_t>(table.size());
    }
    for (const auto& table : tables) {
        AppendLE32(out, static_cast<std::uint32_t>(table.size()));
        AppendPoints(out, table);
    }
    return out;
}

// Levels 128, 256, ... with temperatures 1, 2, ...: every secant is the line
// level / 128 through the origin, and every step of it is exact in binary.
std::vector<ThermoPoint> Line(int count) {
    std::vector<ThermoPoint> points;
    for (int k = 1; k <= count; ++k) points.push_back({128 * k, static_cast<float>(k)});
    return points;
}

std::vector<ThermoPoint> Dense(float first) {
    std::vector<ThermoPoint> points(16384);
    for (int k = 0; k < 16384; ++k) points[k] = {k, first + static_cast<float>(k)};
    return points;
}

bool LoadBlock(ThermoTable& table, const std::vector<std::uint8_t>& block, int index = 0) {
    return table.Load(block.data(), block.size(), index);
}

TEST(ThermoTableLoad, NewTableHoldsOnePoint) {
    ThermoTable table;
    EXPECT_EQ(table.PointCount(), 1);
    ASSERT_EQ(table.Points().size(), 1u);
    EXPECT_EQ(table.Points()[0].raw, 0);
    EXPECT_EQ(table.Points()[0].temperature, 0.0f);
    EXPECT_TRUE(table.Lookup().empty());
    EXPECT_EQ(table.TemperatureOf(5), 0.0f);
}

TEST(ThermoTableLoad, BareBlockMayCarryUpToSevenSpareBytes) {
    std::vector<std::uint8_t> block = Bare(Dense(0.0f));
    ASSERT_EQ(block.size(), 131076u);
    for (std::size_t extra = 1; extra <= 7; ++extra) {
        std::vector<std::uint8_t> longer = block;
        longer.resize(block.size() + extra, 0xEE);
        ThermoTable table;
        EXPECT_TRUE(LoadBlock(table, longer)) << longer.size();
        EXPECT_EQ(table.PointCount(), 16384);
    }
    std::vector<std::uint8_t> eight = block;
    eight.resize(block.size() + 8);
    ThermoTable table;
    EXPECT_FALSE(LoadBlock(table, eight));
    std::vector<std::uint8_t> shorter(block.begin(), block.begin() + 131068);
    EXPECT_FALSE(LoadBlock(table, shorter));
    EXPECT_EQ(table.PointCount(), 1);
}

TEST(ThermoTableLoad, SingleTableKeepsStoredOrder) {
    std::vector<ThermoPoint> points = {{30, 3.0f}, {10, 1.0f}, {10, 1.5f}};
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, Single(points), 7));
    ASSERT_EQ(table.PointCount(), 3);
    EXPECT_EQ(table.Points()[0].raw, 30);
    EXPECT_EQ(table.Points()[2].temperature, 1.5f);
}

TEST(ThermoTableLoad, CollectionIndexChoosesTheTable) {
    std::vector<std::uint8_t> block = Collection({Line(3), Line(12)});
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, block, 1));
    EXPECT_EQ(table.PointCount(), 12);
    ASSERT_TRUE(LoadBlock(table, block, 0));
    EXPECT_EQ(table.PointCount(), 3);
    EXPECT_FALSE(LoadBlock(table, block, 2));
    EXPECT_FALSE(LoadBlock(table, block, -1));
    EXPECT_EQ(table.PointCount(), 3);
}

TEST(ThermoTableLoad, CountsAndOffsetsBeyondTheBlockAreRefused) {
    ThermoTable table;
    std::vector<std::uint8_t> single = Single(Line(4));
    PutLE32(single.data() + 24, 5);
    EXPECT_FALSE(LoadBlock(table, single));
    PutLE32(single.data() + 24, 0x80000000u);
    EXPECT_FALSE(LoadBlock(table, single));
    single.resize(26);
    EXPECT_FALSE(LoadBlock(table, single));

    std::vector<std::uint8_t> collection = Collection({Line(2), Line(2)});
    std::vector<std::uint8_t> bad = collection;
    PutLE32(bad.data() + 32, static_cast<std::uint32_t>(collection.size() - 2));
    EXPECT_FALSE(LoadBlock(table, bad, 1));
    bad = collection;
    PutLE32(bad.data() + 32, 0xFFFFFFFCu);
    EXPECT_FALSE(LoadBlock(table, bad, 1));
    bad = collection;
    PutLE32(bad.data() + 24, 1000000);  // a directory far larger than the block
    EXPECT_FALSE(LoadBlock(table, bad, 1));
    bad = collection;
    PutLE32(bad.data() + 56, 3);  // the second table's count
    EXPECT_FALSE(LoadBlock(table, bad, 1));

    EXPECT_FALSE(table.Load(nullptr, 100, 0));
    const std::uint8_t tiny[3] = {0, 0, 0};
    EXPECT_FALSE(table.Load(tiny, sizeof tiny, 0));
    EXPECT_EQ(table.PointCount(), 1);
}

TEST(ThermoTableLoad, FailedLoadKeepsThePreviousPoints) {
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, Single(Line(20))));
    std::vector<std::uint8_t> wrong = Bare(Line(20));
    wrong.resize(wrong.size() - 8);
    ASSERT_FALSE(LoadBlock(table, wrong));
    EXPECT_EQ(table.PointCount(), 20);
    EXPECT_EQ(table.Points()[19].raw, 2560);
}

TEST(ThermoTableLookup, NeverLoadedGivesZeros) {
    ThermoTable table;
    table.BuildLookup();
    ASSERT_EQ(table.Lookup().size(), 65536u);
    for (int level : {0, 1, 100, 16383, 16384, 65535}) EXPECT_EQ(table.TemperatureOf(level), 0.0f);
}

TEST(ThermoTableLookup, TenPointsOrFewerGiveZeros) {
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, Single(Line(10))));
    table.BuildLookup();
    for (int level = 0; level < 16384; ++level) ASSERT_EQ(table.TemperatureOf(level), 0.0f) << level;
}

TEST(ThermoTableLookup, DenseTableIsCopiedByPosition) {
    std::vector<ThermoPoint> points = Dense(-50.0f);
    points[3].raw = 9000;  // the stored level is not consulted
    points.push_back({16384, 7.0f});
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, Bare(points)));
    table.BuildLookup();
    EXPECT_EQ(table.TemperatureOf(0), -50.0f);
    EXPECT_EQ(table.TemperatureOf(3), -47.0f);
    EXPECT_EQ(table.TemperatureOf(16383), -50.0f + 16383.0f);
    EXPECT_EQ(table.TemperatureOf(16384), 0.0f);
    EXPECT_EQ(table.TemperatureOf(65535), 0.0f);
}

TEST(ThermoTableInterpolate, SecantsOfTheNearestPoints) {
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, Single(Line(40))));
    EXPECT_EQ(table.Interpolate(1472), 11.5f);
    EXPECT_EQ(table.Interpolate(2592), 20.25f);
    // No upper point before the last ten: P[N-11] is level 3840.
    EXPECT_EQ(table.Interpolate(3839), 3839.0f / 128.0f);
    EXPECT_EQ(table.Interpolate(3840), 0.0f);
    EXPECT_EQ(table.Interpolate(4480), 0.0f);
    // Below the first point there is no lower point.
    EXPECT_EQ(table.Interpolate(50), 0.0f);
}

TEST(ThermoTableInterpolate, PointAtTheLevelTakesNoPart) {
    // Points on the line, except that the one at level 1536 is far off:
    // interpolating 1536 itself must not see it, while its neighbours do.
    std::vector<ThermoPoint> points = Line(40);
    points[11].temperature = 500.0f;
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, Single(points)));
    EXPECT_EQ(table.Interpolate(1536), 12.0f);
    EXPECT_NE(table.Interpolate(1535), 1535.0f / 128.0f);
}

TEST(ThermoTableInterpolate, MissingLowerPointsCountAsOrigin) {
    // Lower points 128 and 256 only: pairs 3..10 take (0, 0.0) as lower point,
    // which lies on the line too.
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, Single(Line(30))));
    EXPECT_EQ(table.Interpolate(320), 2.5f);

    // Lower points at the origin itself have no secant.
    std::vector<ThermoPoint> points = {{0, 0.0f}};
    for (ThermoPoint p : Line(20)) points.push_back(p);
    ASSERT_TRUE(LoadBlock(table, Single(points)));
    EXPECT_EQ(table.Interpolate(50), 0.0f);
    EXPECT_EQ(table.Interpolate(192), 1.5f);
}

TEST(ThermoTableInterpolate, SparseLookupFromInterpolation) {
    ThermoTable table;
    ASSERT_TRUE(LoadBlock(table, Single(Line(40))));
    table.BuildLookup();
    EXPECT_EQ(table.TemperatureOf(1234), 1234.0f / 128.0f);
    EXPECT_EQ(table.TemperatureOf(16000), 0.0f);
    EXPECT_EQ(table.TemperatureOf(20000), 0.0f);
}

// The built-in tables, taken from the library module the way an instance does.
struct TellingRow {
    std::uint16_t level;
    float normal;
    float high;
};

const TellingRow kTellingRows[] = {
    {0, -999.0f, -999.0f},  {1, -68.30f, -55.29f},     {10, -270.72f, -219.15f},  {1000, -217.38f, -120.34f},
    {6000, 5.60f, 361.23f}, {10000, 118.57f, 540.24f}, {16382, 178.23f, 825.87f}, {16383, -999.0f, -999.0f},
};

ThermoTable BuiltIn(std::uint32_t id) {
    const std::uint8_t* block = nullptr;
    std::size_t size = 0;
    ThermoTable table;
    EXPECT_TRUE(ModuleResources::Library().Find(id, BuiltinTables::kType, block, size));
    EXPECT_EQ(size, 131076u);
    EXPECT_TRUE(table.Load(block, size, 0));
    table.BuildLookup();
    return table;
}

TEST(ThermoTableBuiltIn, TellingRowsConvert) {
    ThermoTable normal = BuiltIn(BuiltinTables::kThermoNormalId);
    ThermoTable high = BuiltIn(BuiltinTables::kThermoHighId);
    EXPECT_EQ(normal.PointCount(), 16384);
    EXPECT_EQ(high.PointCount(), 16384);
    for (const TellingRow& row : kTellingRows) {
        EXPECT_EQ(normal.TemperatureOf(row.level), row.normal) << row.level;
        EXPECT_EQ(high.TemperatureOf(row.level), row.high) << row.level;
    }
    for (int level = 16384; level <= 65535; ++level) {
        ASSERT_EQ(normal.TemperatureOf(static_cast<std::uint16_t>(level)), 0.0f) << level;
        ASSERT_EQ(high.TemperatureOf(static_cast<std::uint16_t>(level)), 0.0f) << level;
    }
}

}  // namespace
}  // namespace calidra
