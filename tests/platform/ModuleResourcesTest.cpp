#include "platform/ModuleResources.h"

#include <gtest/gtest.h>

namespace calidra {
namespace {

const std::uint8_t kFirst[] = {1, 2, 3};
const std::uint8_t kSecond[] = {9};

TEST(ModuleResources, FindsByIdAndTypeName) {
    ModuleResources module;
    ASSERT_TRUE(module.Add({L"TBL", 7, kFirst, sizeof kFirst}));
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(module.Find(7, L"Tbl", data, size));
    EXPECT_EQ(data, kFirst);
    EXPECT_EQ(size, 3u);

    const std::uint8_t* untouched = kSecond;
    EXPECT_FALSE(module.Find(8, L"TBL", untouched, size));
    EXPECT_FALSE(module.Find(7, L"TB", untouched, size));
    EXPECT_FALSE(module.Find(7, L"TBLX", untouched, size));
    EXPECT_FALSE(module.Find(7, nullptr, untouched, size));
    EXPECT_EQ(untouched, kSecond);
    EXPECT_EQ(size, 3u);
}

TEST(ModuleResources, LaterBlockHidesEarlierAndBadBlocksAreRefused) {
    ModuleResources module;
    ASSERT_TRUE(module.Add({L"TBL", 7, kFirst, sizeof kFirst}));
    ASSERT_TRUE(module.Add({L"TBL", 7, kSecond, sizeof kSecond}));
    EXPECT_FALSE(module.Add({nullptr, 1, kFirst, 1}));
    EXPECT_FALSE(module.Add({L"", 1, kFirst, 1}));
    EXPECT_FALSE(module.Add({L"TBL", 1, nullptr, 0}));
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(module.Find(7, L"TBL", data, size));
    EXPECT_EQ(data, kSecond);
    EXPECT_FALSE(module.Find(1, L"TBL", data, size));
}

}  // namespace
}  // namespace calidra
