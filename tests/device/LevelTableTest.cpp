#include <gtest/gtest.h>

#include <cstdint>

#include "device/LevelTable.h"

namespace calidra {
namespace {

double Temperature(const LevelTable& table, std::uint32_t index) {
    double value = -1000.0;
    EXPECT_TRUE(table.GetTemperature(index, value)) << "index " << index;
    return value;
}

TEST(LevelTable, DefaultTemperatures) {
    LevelTable table;
    EXPECT_EQ(table.Count(), 16384u);
    EXPECT_FALSE(table.HasArrays());
    ASSERT_EQ(table.InitLevelTable(16384), 1);
    EXPECT_EQ(Temperature(table, 2595), 0.0);
    EXPECT_EQ(Temperature(table, 6485), 125.0);
    EXPECT_NEAR(Temperature(table, 16382), 443.0269922879, 1e-9);
    EXPECT_NEAR(Temperature(table, 16383), 149.98840332, 1e-8);
    EXPECT_EQ(Temperature(table, 0), -83.38688946015424);
    double offset = 1.0;
    EXPECT_TRUE(table.GetOffset(16383, offset));
    EXPECT_EQ(offset, 0.0);
}

TEST(LevelTable, SmallTableUsesTheSlopeThroughout) {
    LevelTable table;
    ASSERT_EQ(table.InitLevelTable(3), 1);
    EXPECT_EQ(table.Count(), 3u);
    EXPECT_EQ(Temperature(table, 2), 2 * 0.032133676092544985 - 83.38688946015424);
    double value;
    EXPECT_FALSE(table.GetTemperature(3, value));
}

TEST(LevelTable, RefusedCountsKeepTheOldTable) {
    LevelTable table;
    ASSERT_EQ(table.InitLevelTable(16384), 1);
    ASSERT_TRUE(table.SetTemperature(7, 42.0));
    EXPECT_EQ(table.InitLevelTable(0), 0);
    EXPECT_EQ(table.InitLevelTable(-5), 0);
    EXPECT_EQ(table.InitLevelTable(65537), 0);
    EXPECT_EQ(table.Count(), 16384u);
    EXPECT_EQ(Temperature(table, 7), 42.0);
    EXPECT_EQ(table.InitLevelTable(65536), 1);
    EXPECT_EQ(table.Count(), 65536u);
}

TEST(LevelTable, EntryAccessChecksTheIndex) {
    LevelTable table;
    double value = 5.0;
    EXPECT_FALSE(table.GetTemperature(0, value));  // no arrays yet
    EXPECT_FALSE(table.SetOffset(0, 1.0));
    ASSERT_EQ(table.InitLevelTable(16384), 1);
    EXPECT_TRUE(table.SetTemperature(16383, 12.5));
    EXPECT_TRUE(table.SetOffset(16383, 0.25));
    EXPECT_FALSE(table.SetTemperature(16384, 1.0));
    EXPECT_FALSE(table.SetOffset(16384, 1.0));
    EXPECT_FALSE(table.GetOffset(65535, value));
    EXPECT_TRUE(table.GetOffset(16383, value));
    EXPECT_EQ(value, 0.25);
}

TEST(LevelTable, LevelTemperatureMasksWithCountMinusOne) {
    LevelTable table;
    EXPECT_EQ(table.TemperatureOfLevel(100), 0.0f);
    ASSERT_EQ(table.InitLevelTable(16384), 1);
    ASSERT_TRUE(table.SetTemperature(5, 20.1));
    ASSERT_TRUE(table.SetOffset(5, 0.2));
    EXPECT_EQ(table.TemperatureOfLevel(5), static_cast<float>(20.1 + 0.2));
    EXPECT_EQ(table.TemperatureOfLevel(16384 + 5), static_cast<float>(20.1 + 0.2));
    ASSERT_EQ(table.InitLevelTable(65536), 1);
    EXPECT_EQ(table.TemperatureOfLevel(65535), static_cast<float>(190.0 * 65535 / 65536 - 40.0));
}

}  // namespace
}  // namespace calidra
