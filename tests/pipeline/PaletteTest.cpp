// The palette's telling entries and the pseudo-colour mapping with its
// automatic range.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "pipeline/ColourMap.h"
#include "pipeline/Palette.h"

namespace calidra {
namespace {

struct Rgb {
    int red, green, blue;
};

Rgb EntryColour(std::uint32_t entry) { return {Palette::Red(entry), Palette::Green(entry), Palette::Blue(entry)}; }

TEST(Palette, TellingEntriesMatchTheTable) {
    Palette::Entries palette{};
    Palette::BuildPalette(palette);
    const struct {
        int entry;
        Rgb rgb;
    } expected[] = {
        {0, {5, 0, 6}},       {30, {63, 0, 132}},  {60, {0, 4, 254}},  {120, {0, 254, 249}},   {180, {4, 254, 0}},
        {240, {254, 249, 0}}, {290, {254, 38, 0}}, {300, {255, 3, 7}}, {330, {255, 129, 194}}, {359, {255, 253, 255}},
    };
    for (const auto& row : expected) {
        const Rgb got = EntryColour(palette[static_cast<std::size_t>(row.entry)]);
        EXPECT_EQ(got.red, row.rgb.red) << "entry " << row.entry;
        EXPECT_EQ(got.green, row.rgb.green) << "entry " << row.entry;
        EXPECT_EQ(got.blue, row.rgb.blue) << "entry " << row.entry;
    }
    for (std::uint32_t entry : palette) EXPECT_EQ(entry >> 24, 0u);
}

TEST(Palette, ChannelFollowsTheHueSegments) {
    EXPECT_EQ(Palette::PaletteChannel(0, 6, 59), 5);
    EXPECT_EQ(Palette::PaletteChannel(10, 200, 60), 200);
    EXPECT_EQ(Palette::PaletteChannel(10, 200, 179), 200);
    EXPECT_EQ(Palette::PaletteChannel(10, 200, 239), 13);
    EXPECT_EQ(Palette::PaletteChannel(10, 200, 240), 10);
    EXPECT_EQ(Palette::PaletteChannel(10, 200, 420), 200);  // modulo 360
}

// A frame of the sensor's size with one level everywhere, and helpers to read
// pixels of the mapped picture.
class ColourMapping : public ::testing::Test {
protected:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr std::size_t kRawStride = kWidth * 2;
    static constexpr std::size_t kColourStride = kWidth * 3;

    ColourMapping() : raw(static_cast<std::size_t>(kWidth) * kHeight, 0), colour(kColourStride * kHeight, 0xAB) {}

    void Fill(std::uint16_t level) { std::fill(raw.begin(), raw.end(), level); }
    std::uint16_t& At(int row, int column) { return raw[static_cast<std::size_t>(row) * kWidth + column]; }
    Rgb PixelAt(int row, int column) const {
        const std::uint8_t* p = &colour[static_cast<std::size_t>(row) * kColourStride + 3u * column];
        return {p[2], p[1], p[0]};
    }
    void Map() {
        ASSERT_EQ(map.Colourise(raw.data(), kRawStride, kWidth, kHeight, colour.data(), kColourStride, range), 1);
    }
    void ExpectEntry(int row, int column, int entry) {
        const Rgb want = EntryColour(map.Entries()[static_cast<std::size_t>(entry)]);
        const Rgb got = PixelAt(row, column);
        EXPECT_EQ(got.red, want.red);
        EXPECT_EQ(got.green, want.green);
        EXPECT_EQ(got.blue, want.blue);
    }
    void ExpectGrey(int row, int column, int value) {
        const Rgb got = PixelAt(row, column);
        EXPECT_EQ(got.red, value);
        EXPECT_EQ(got.green, value);
        EXPECT_EQ(got.blue, value);
    }

    std::vector<std::uint16_t> raw;
    std::vector<std::uint8_t> colour;
    ColourRange range;
    ColourMap map;
};

TEST_F(ColourMapping, DefaultRangeEdgesAreBlackFirstLastAndWhite) {
    range.autoRange = 0;
    Fill(2000);
    At(0, 0) = 1000;
    At(0, 1) = 1001;
    At(0, 2) = 2999;
    At(0, 3) = 3000;
    At(0, 4) = 0;
    At(0, 5) = 65535;
    Map();
    ExpectGrey(0, 0, 0);
    ExpectEntry(0, 1, 0);
    ExpectEntry(0, 2, 359);
    ExpectGrey(0, 3, 255);
    ExpectGrey(0, 4, 0);
    ExpectGrey(0, 5, 255);
    ExpectEntry(0, 6, 180);  // (2000 - 1000) * 360 / 2000
    EXPECT_EQ(range.rangeLow, 1000);
    EXPECT_EQ(range.rangeHigh, 3000);
}

TEST_F(ColourMapping, EqualLevelsGiveOnlyBlackAndWhite) {
    range.autoRange = 0;
    range.rangeLow = 2000;
    range.rangeHigh = 2000;
    Fill(2001);
    At(10, 10) = 2000;
    At(10, 11) = 1999;
    Map();
    ExpectGrey(10, 10, 0);
    ExpectGrey(10, 11, 0);
    ExpectGrey(10, 12, 255);
}

TEST_F(ColourMapping, AutomaticRangeAppliesFromTheNextFrame) {
    Fill(5500);
    At(100, 100) = 5000;
    At(200, 300) = 6000;
    Map();
    // This frame still used the defaults: 5500 is above 3000, so white.
    ExpectGrey(50, 50, 255);
    EXPECT_EQ(range.rangeLow, 4880);
    EXPECT_EQ(range.rangeHigh, 6120);
    EXPECT_EQ(range.autoRange, -1);
    Map();
    ExpectEntry(50, 50, static_cast<int>((5500.0 - 4880) * 360 / (6120 - 4880)));
}

TEST_F(ColourMapping, AutomaticRangeIsClampedToTheLevelScale) {
    Fill(8000);
    At(100, 100) = 16300;
    At(101, 100) = 50;
    Map();
    EXPECT_EQ(range.rangeHigh, 16383);
    EXPECT_EQ(range.rangeLow, 0);
}

TEST_F(ColourMapping, CounterThreeFollowsThreeFramesThenFreezes) {
    range.autoRange = 3;
    const std::uint16_t levels[] = {4000, 5000, 6000, 9000};
    for (std::uint16_t level : levels) {
        Fill(level);
        Map();
    }
    EXPECT_EQ(range.autoRange, 0);
    EXPECT_EQ(range.rangeLow, 6000 - 120);
    EXPECT_EQ(range.rangeHigh, 6000 + 120);
}

TEST_F(ColourMapping, HotPixelsOutsideTheCentralWindowNeverMoveTheRange) {
    Fill(5000);
    // First 41 rows and last 40 rows; first 41 and last 40 columns.
    for (int column = 0; column < kWidth; ++column) {
        At(40, column) = 16000;
        At(440, column) = 10;
    }
    for (int row = 0; row < kHeight; ++row) {
        At(row, 40) = 16000;
        At(row, 600) = 10;
    }
    At(0, 0) = 16383;
    At(479, 639) = 16383;
    Map();
    EXPECT_EQ(range.rangeLow, 5000 - 120);
    EXPECT_EQ(range.rangeHigh, 5000 + 120);
    // The window's first and last pixels do count.
    At(41, 41) = 7000;
    At(439, 599) = 3000;
    Map();
    EXPECT_EQ(range.rangeLow, 3000 - 120);
    EXPECT_EQ(range.rangeHigh, 7000 + 120);
}

TEST_F(ColourMapping, AClientRangeChangeTakesEffectOnTheNextFrame) {
    range.autoRange = 0;
    Fill(1500);
    Map();
    ExpectEntry(0, 0, 90);
    range.rangeLow = 1500;
    Map();
    ExpectGrey(0, 0, 0);
}

}  // namespace
}  // namespace calidra
