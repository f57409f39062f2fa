// The four temperature converters of a raw image, and the frame ring's search.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "pipeline/DibImage.h"
#include "pipeline/FrameRing.h"
#include "pipeline/RowCopy.h"
#include "pipeline/Temperatures.h"
#include "pipeline/ThermoTable.h"
#include "platform/LittleEndian.h"

namespace calidra {
namespace {

// A dense bare table: level k has degrees[k] for the listed levels, 20.0 elsewhere.
ThermoTable DenseTable(const std::vector<std::pair<int, float>>& degrees) {
    std::vector<float> values(16384, 20.0f);
    for (const auto& [level, t] : degrees) values[static_cast<std::size_t>(level)] = t;
    std::vector<std::uint8_t> block(4 + 8 * values.size());
    PutLE32(block.data(), static_cast<std::uint32_t>(values.size()));
    for (std::size_t k = 0; k < values.size(); ++k) {
        PutLE32(&block[4 + 8 * k], static_cast<std::uint32_t>(k));
        PutLEFloat(&block[8 + 8 * k], values[k]);
    }
    ThermoTable table;
    EXPECT_TRUE(table.Load(block.data(), block.size(), 0));
    table.BuildLookup();
    return table;
}

// A 16-bit image of width x 2 lines: line 0 holds the levels, line 1 holds 5.
DibImage TwoLines(const std::vector<std::uint16_t>& levels) {
    DibImage image;
    EXPECT_TRUE(image.Create(static_cast<std::int32_t>(levels.size()), 2, 16));
    auto* line0 = reinterpret_cast<std::uint16_t*>(image.Row(0));
    auto* line1 = reinterpret_cast<std::uint16_t*>(image.Row(1));
    for (std::size_t j = 0; j < levels.size(); ++j) {
        line0[j] = levels[j];
        line1[j] = 5;
    }
    return image;
}

TEST(Temperatures, EightBitConvertersClampAndTruncate) {
    const ThermoTable table =
        DenseTable({{1, -200.5f}, {2, 127.9f}, {3, -0.9f}, {4, 300.0f}, {6, 42.7f}, {7, std::nanf("")}, {8, 254.99f}});
    // Levels 0 and 16383 of a table hold whatever it says; here level 0 is 20.0.
    const DibImage image = TwoLines({1, 2, 3, 4, 6, 20000, 7, 8});
    std::int8_t s8[16];
    std::uint8_t u8[16];
    ASSERT_EQ(TemperaturesS8(&image, s8, false, table), 1);
    ASSERT_EQ(TemperaturesU8(&image, u8, false, table), 1);
    const std::int8_t wantS8[] = {-128, 127, 0, 127, 42, 0, 0, 127};
    const std::uint8_t wantU8[] = {0, 127, 0, 255, 42, 0, 0, 254};
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(s8[j], wantS8[j]) << j;
        EXPECT_EQ(u8[j], wantU8[j]) << j;
    }
    EXPECT_EQ(s8[8], 20);  // the second line: level 5
}

TEST(Temperatures, BuiltInExtremesOfMinus999Saturate) {
    const ThermoTable table = DenseTable({{0, -999.0f}, {16383, -999.0f}});
    const DibImage image = TwoLines({0, 16383});
    std::int8_t s8[4];
    std::uint8_t u8[4];
    std::int32_t i32[4];
    ASSERT_EQ(TemperaturesS8(&image, s8, false, table), 1);
    ASSERT_EQ(TemperaturesU8(&image, u8, false, table), 1);
    ASSERT_EQ(TemperaturesI32(&image, i32, false, table), 1);
    EXPECT_EQ(s8[0], -128);
    EXPECT_EQ(s8[1], -128);
    EXPECT_EQ(u8[0], 0);
    EXPECT_EQ(i32[1], -999);
}

TEST(Temperatures, ReversedRowsTakeTheLastLineFirst) {
    const ThermoTable table = DenseTable({{7, 7.0f}, {5, 5.0f}});
    const DibImage image = TwoLines({7, 7, 7});
    std::int32_t i32[6];
    ASSERT_EQ(TemperaturesI32(&image, i32, true, table), 1);
    EXPECT_EQ(i32[0], 5);
    EXPECT_EQ(i32[3], 7);
}

TEST(Temperatures, FloatsComeFromTheLevelColumnsWithTheMask) {
    std::vector<double> temperature(16384), offset(16384, 0.0);
    for (std::size_t i = 0; i < temperature.size(); ++i) temperature[i] = static_cast<double>(i) / 10.0;
    offset[100] = 0.25;
    const LevelColumns levels{16384, temperature, offset};
    // 16484 masks to 100.
    const DibImage image = TwoLines({100, 16484, 0});
    float out[6];
    ASSERT_EQ(TemperaturesF32(&image, out, false, levels), 1);
    EXPECT_FLOAT_EQ(out[0], 10.25f);
    EXPECT_FLOAT_EQ(out[1], 10.25f);
    EXPECT_FLOAT_EQ(out[2], 0.0f);
    EXPECT_FLOAT_EQ(out[3], 0.5f);
    ASSERT_EQ(TemperaturesF32(&image, out, true, levels), 1);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[3], 10.25f);
}

TEST(Temperatures, ColumnsShorterThanTheCountNeverReadBeyondThem) {
    std::vector<double> temperature(10, 1.0), offset(10, 1.0);
    const LevelColumns levels{16384, temperature, offset};
    const DibImage image = TwoLines({9, 10, 16383});
    float out[6];
    ASSERT_EQ(TemperaturesF32(&image, out, false, levels), 1);
    EXPECT_FLOAT_EQ(out[0], 2.0f);
    EXPECT_FLOAT_EQ(out[1], 0.0f);
    EXPECT_FLOAT_EQ(out[2], 0.0f);
}

TEST(Temperatures, MissingImageBufferOrPixelsFail) {
    const ThermoTable table = DenseTable({});
    const DibImage empty;
    DibImage colour;
    ASSERT_TRUE(colour.Create(4, 2, 24));
    const DibImage image = TwoLines({1, 2});
    std::int8_t out[4];
    float f[4];
    const LevelColumns levels{};
    EXPECT_EQ(TemperaturesS8(nullptr, out, false, table), 0);
    EXPECT_EQ(TemperaturesS8(&image, nullptr, false, table), 0);
    EXPECT_EQ(TemperaturesS8(&empty, out, false, table), 0);
    EXPECT_EQ(TemperaturesS8(&colour, out, false, table), 0);
    EXPECT_EQ(TemperaturesF32(&empty, f, false, levels), 0);
    // Columns without entries give 0.0 rather than reading anything.
    ASSERT_EQ(TemperaturesF32(&image, f, false, levels), 1);
    EXPECT_FLOAT_EQ(f[0], 0.0f);
}

TEST(RowCopy, ReversedCopyPutsTheLastLineFirst) {
    DibImage image;
    ASSERT_TRUE(image.Create(3, 3, 24));  // 12 bytes per line, padding included
    for (int r = 0; r < 3; ++r) std::memset(image.Row(r), r + 1, 12);
    std::vector<std::uint8_t> out(36, 0);
    CopyImageRows(image, out.data(), true);
    EXPECT_EQ(out[0], 3);
    EXPECT_EQ(out[12], 2);
    EXPECT_EQ(out[35], 1);
    CopyImageRows(image, out.data(), false);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[35], 3);
}

TEST(FrameRing, IdZeroIsNeverFoundEvenWhenASlotHoldsIt) {
    FrameRing ring;
    ring.Resize(3);
    EXPECT_EQ(ring.Find(0), nullptr);
    ring.Slot(1).id = 77;
    EXPECT_EQ(ring.Find(77), &ring.Slot(1));
    EXPECT_EQ(ring.Find(78), nullptr);
    EXPECT_EQ(ring.NewestId(), 0u);
    {
        std::lock_guard<std::mutex> guard(ring.PositionLock());
        EXPECT_EQ(ring.NextPosition(), 1);
        ring.SetPosition(2);
        EXPECT_EQ(ring.NextPosition(), 0);
        ring.SetPosition(1);
    }
    EXPECT_EQ(ring.NewestId(), 77u);
    ASSERT_TRUE(ring.CreateImages(640, 480));
    EXPECT_EQ(ring.Slot(1).id, 0u);
    EXPECT_EQ(ring.Slot(2).raw.Stride(), 1280);
    EXPECT_EQ(ring.Slot(2).colour.Stride(), 1920);
}

}  // namespace
}  // namespace calidra
