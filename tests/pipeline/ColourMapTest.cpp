// The table-driven pseudo-colour mapping against a plain per-pixel evaluation
// of the mapping formula: random frames, ranges and frame sizes, levels outside
// the range, ranges that change from frame to frame, and the automatic range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "pipeline/ColourMap.h"
#include "pipeline/LevelColours.h"
#include "pipeline/Palette.h"

namespace calidra {
namespace {

// Blue, green, red bytes of one level, straight from the formula.
std::uint32_t ReferenceColour(const Palette::Entries& palette, std::uint32_t v, std::int32_t lower,
                              std::int32_t upper) {
    if (static_cast<std::int64_t>(v) <= lower) return 0;
    if (static_cast<std::int64_t>(v) >= upper) return 0xFFFFFF;
    const double step = static_cast<double>(static_cast<std::int64_t>(v) - lower) * 360.0 /
                        (static_cast<double>(upper) - static_cast<double>(lower));
    const std::uint32_t entry = palette[static_cast<std::size_t>(static_cast<int>(step))];
    return static_cast<std::uint32_t>(Palette::Blue(entry)) | static_cast<std::uint32_t>(Palette::Green(entry)) << 8 |
           static_cast<std::uint32_t>(Palette::Red(entry)) << 16;
}

struct Frame {
    int width = 0, height = 0;
    std::size_t rawStride = 0, colourStride = 0;  // in bytes
    std::vector<std::uint16_t> raw;
    std::uint16_t Level(int row, int column) const { return raw[row * rawStride / 2 + column]; }
};

// The mapping of one frame, pixel by pixel, with the range read once.
struct ReferenceResult {
    std::vector<std::uint8_t> colour;
    std::int32_t autoRange, rangeLow, rangeHigh;
};

ReferenceResult ReferenceColourise(const Palette::Entries& palette, const Frame& frame, std::int32_t autoRange,
                                   std::int32_t lower, std::int32_t upper) {
    ReferenceResult result{std::vector<std::uint8_t>(frame.colourStride * frame.height, 0xCD), autoRange, lower, upper};
    std::uint32_t windowMax = 0, windowMin = 100000;
    for (int i = 0; i < frame.height; ++i) {
        for (int j = 0; j < frame.width; ++j) {
            const std::uint16_t v = frame.Level(i, j);
            const std::uint32_t c = ReferenceColour(palette, v, lower, upper);
            std::uint8_t* out = &result.colour[i * frame.colourStride + 3 * j];
            out[0] = static_cast<std::uint8_t>(c);
            out[1] = static_cast<std::uint8_t>(c >> 8);
            out[2] = static_cast<std::uint8_t>(c >> 16);
            if (frame.height / 12 < i && i < 11 * frame.height / 12 && frame.width / 16 < j &&
                j < 15 * frame.width / 16) {
                windowMax = std::max<std::uint32_t>(windowMax, v);
                windowMin = std::min<std::uint32_t>(windowMin, v);
            }
        }
    }
    if (autoRange != 0) {
        if (autoRange > 0) --result.autoRange;
        result.rangeHigh = static_cast<std::int32_t>(std::min<std::int64_t>(windowMax + 120, 16383));
        result.rangeLow =
            static_cast<std::int32_t>(std::max<std::int64_t>(static_cast<std::int64_t>(windowMin) - 120, 0));
    }
    return result;
}

class ColourMapAgainstReference : public ::testing::Test {
protected:
    // A frame whose levels mostly lie around the range, with some anywhere in
    // the 16-bit scale and some exactly on the range's ends.
    Frame RandomFrame(int width, int height, int padWords, std::int32_t lower, std::int32_t upper) {
        Frame frame;
        frame.width = width;
        frame.height = height;
        frame.rawStride = static_cast<std::size_t>(width + padWords) * 2;
        frame.colourStride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4 + 4 * static_cast<std::size_t>(padWords);
        frame.raw.resize(frame.rawStride / 2 * height);
        const std::int64_t low = std::clamp<std::int64_t>(std::min(lower, upper) - 50, 0, 65535);
        const std::int64_t high = std::clamp<std::int64_t>(std::max(lower, upper) + 50, 0, 65535);
        std::uniform_int_distribution<std::int64_t> near(low, high);
        std::uniform_int_distribution<int> any(0, 65535), choice(0, 9);
        for (auto& level : frame.raw) {
            const int pick = choice(random);
            if (pick < 6)
                level = static_cast<std::uint16_t>(near(random));
            else if (pick < 8)
                level = static_cast<std::uint16_t>(any(random));
            else
                level = static_cast<std::uint16_t>(std::clamp<std::int64_t>(pick == 8 ? lower : upper, 0, 65535));
        }
        return frame;
    }

    std::pair<std::int32_t, std::int32_t> RandomRange() {
        std::uniform_int_distribution<int> kind(0, 7);
        std::uniform_int_distribution<std::int32_t> level(-200, 17000);
        std::uniform_int_distribution<std::int32_t> span(-5, 800);
        std::int32_t lower = level(random);
        switch (kind(random)) {
            case 0:  // narrower than the palette
                return {lower, lower + span(random) % 360};
            case 1:
                return {lower, lower + span(random)};
            case 2:  // beyond the 16-bit scale at either end
                return {std::uniform_int_distribution<std::int32_t>(-2000000000, 100)(random),
                        std::uniform_int_distribution<std::int32_t>(60000, 2000000000)(random)};
            case 3:
                return {lower, lower};
            case 4:
                return {lower, lower - span(random)};
            default:
                return {std::min(lower, 16383), std::uniform_int_distribution<std::int32_t>(lower, 20000)(random)};
        }
    }

    void ExpectSameAsReference(const Frame& frame, ColourRange& range) {
        const ReferenceResult want =
            ReferenceColourise(map.Entries(), frame, range.autoRange, range.rangeLow, range.rangeHigh);
        std::vector<std::uint8_t> colour(frame.colourStride * frame.height, 0xCD);
        ASSERT_EQ(map.Colourise(frame.raw.data(), frame.rawStride, frame.width, frame.height, colour.data(),
                                frame.colourStride, range),
                  1);
        for (std::size_t k = 0; k < colour.size(); ++k) {
            if (colour[k] != want.colour[k]) {
                const std::size_t row = k / frame.colourStride, column = k % frame.colourStride / 3;
                FAIL() << "byte " << k << " (row " << row << ", column " << column << ", level "
                       << (column < static_cast<std::size_t>(frame.width) ? frame.Level(row, column) : 0)
                       << ") differs for the range " << want.rangeLow << ".." << want.rangeHigh << " before the frame";
            }
        }
        EXPECT_EQ(range.autoRange, want.autoRange);
        EXPECT_EQ(range.rangeLow, want.rangeLow);
        EXPECT_EQ(range.rangeHigh, want.rangeHigh);
    }

    std::mt19937 random{20240611};
    ColourMap map;
};

TEST_F(ColourMapAgainstReference, RandomFixedRangesOneAfterAnother) {
    // Each range follows the previous one in the same map, so every way one
    // range's table can be patched into the next's is exercised.
    for (int round = 0; round < 200; ++round) {
        const auto [lower, upper] = RandomRange();
        ColourRange range;
        range.autoRange = 0;
        range.rangeLow = lower;
        range.rangeHigh = upper;
        const Frame frame = RandomFrame(64 + round % 13, 24 + round % 5, round % 3, lower, upper);
        ExpectSameAsReference(frame, range);
        if (HasFatalFailure()) return;
    }
}

TEST_F(ColourMapAgainstReference, SensorSizedFramesWithTheAutomaticRange) {
    ColourRange range;  // follows every frame
    for (int round = 0; round < 6; ++round) {
        const Frame frame = RandomFrame(640, 480, 0, range.rangeLow, range.rangeHigh);
        ExpectSameAsReference(frame, range);
        if (HasFatalFailure()) return;
    }
    range.autoRange = 2;
    for (int round = 0; round < 4; ++round) {
        Frame frame = RandomFrame(640, 480, 0, 3000, 9000);
        // Keep the window inside the 14-bit scale so the automatic range moves
        // to a range of its own.
        for (auto& level : frame.raw) level = static_cast<std::uint16_t>(level % 16384);
        ExpectSameAsReference(frame, range);
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(range.autoRange, 0);
}

TEST_F(ColourMapAgainstReference, OddSizesAndSmallWindows) {
    const int sizes[][2] = {{1, 1}, {7, 3}, {8, 12}, {15, 13}, {16, 24}, {17, 25}, {33, 11}, {641, 7}};
    for (const auto& size : sizes) {
        ColourRange range;
        range.autoRange = 1;
        const Frame frame = RandomFrame(size[0], size[1], size[0] % 2, 1000, 3000);
        ExpectSameAsReference(frame, range);
        if (HasFatalFailure()) return;
    }
}

TEST(LevelColours, EveryLevelMatchesTheFormulaAcrossRangeChanges) {
    Palette::Entries palette{};
    Palette::BuildPalette(palette);
    LevelColours levels(palette);
    const std::pair<std::int32_t, std::int32_t> ranges[] = {
        {1000, 3000},   {4880, 6120},   {4880, 6121}, {6000, 5000}, {0, 16383},     {-1, 1},
        {100, 101},     {100, 460},     {100, 459},   {100, 461},   {16383, 16383}, {-2147483647 - 1, 2147483647},
        {65534, 70000}, {65535, 65536}, {-70000, -5}, {2000, 2000}, {1000, 3000}};
    for (const auto& [lower, upper] : ranges) {
        levels.Prepare(lower, upper);
        for (std::uint32_t v = 0; v < 65536; ++v) {
            if (levels.Table()[v] != ReferenceColour(palette, v, lower, upper)) {
                FAIL() << "level " << v << " in the range " << lower << ".." << upper;
            }
        }
    }
}

}  // namespace
}  // namespace calidra
