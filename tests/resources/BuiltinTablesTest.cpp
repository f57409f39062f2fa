#include "resources/BuiltinTables.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/LittleEndian.h"
#include "platform/ModuleResources.h"

namespace calidra {
namespace {

struct Shape {
    std::uint32_t id;
    float first;    // level 1
    float minimum;  // level 10
    float maximum;  // level 16382
    int falls;      // between levels 10 and 16382
    int repeats;
};

class BuiltinTableShape : public testing::TestWithParam<Shape> {
protected:
    void SetUp() override { ASSERT_TRUE(ModuleResources::Library().Find(GetParam().id, L"TBL", block_, size_)); }
    float At(int level) const { return GetLEFloat(block_ + 4 + 8 * level + 4); }

    const std::uint8_t* block_ = nullptr;
    std::size_t size_ = 0;
};

TEST_P(BuiltinTableShape, BareLayoutOfEveryLevel) {
    ASSERT_EQ(size_, 131076u);
    EXPECT_EQ(GetLE32(block_), 16384u);
    for (int level = 0; level < 16384; ++level) {
        ASSERT_EQ(GetLE32(block_ + 4 + 8 * level), static_cast<std::uint32_t>(level));
    }
}

TEST_P(BuiltinTableShape, ExtremesAndRange) {
    const Shape& shape = GetParam();
    EXPECT_EQ(At(0), -999.0f);
    EXPECT_EQ(At(16383), -999.0f);
    EXPECT_EQ(At(1), shape.first);
    EXPECT_EQ(At(10), shape.minimum);
    EXPECT_EQ(At(16382), shape.maximum);
    for (int level = 1; level <= 16382; ++level) {
        if (level != 10) {
            ASSERT_GT(At(level), shape.minimum) << level;
        }
        if (level != 16382) {
            ASSERT_LT(At(level), shape.maximum) << level;
        }
    }
}

TEST_P(BuiltinTableShape, FallsSteeplyThenRisesWithSmallFalls) {
    const Shape& shape = GetParam();
    for (int level = 2; level <= 10; ++level) ASSERT_LT(At(level), At(level - 1)) << level;
    int falls = 0;
    int repeats = 0;
    for (int level = 11; level <= 16382; ++level) {
        float step = At(level) - At(level - 1);
        if (step == 0.0f) ++repeats;
        if (step < 0.0f) {
            ++falls;
            EXPECT_LE(-step, 0.1f) << level;
        }
    }
    EXPECT_EQ(falls, shape.falls);
    EXPECT_EQ(repeats, shape.repeats);
}

INSTANTIATE_TEST_SUITE_P(NormalAndHigh, BuiltinTableShape,
                         testing::Values(Shape{114, -68.30f, -270.72f, 178.23f, 90, 259},
                                         Shape{115, -55.29f, -219.15f, 825.87f, 63, 55}));

TEST(BuiltinTables, TypeNameIgnoresCaseAndOtherIdsAreMissing) {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    EXPECT_TRUE(ModuleResources::Library().Find(BuiltinTables::kThermoHighId, L"tbl", data, size));
    EXPECT_FALSE(ModuleResources::Library().Find(116, BuiltinTables::kType, data, size));
    EXPECT_FALSE(ModuleResources::Library().Find(114, L"RCDATA", data, size));
}

}  // namespace
}  // namespace calidra
