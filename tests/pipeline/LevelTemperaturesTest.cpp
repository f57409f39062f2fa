#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "pipeline/LevelTemperatures.h"
#include "support/Lcg.h"

namespace calidra {
namespace {

using test::Lcg;

std::uint32_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The readout's definition, written apart from the library.
float Expected(std::uint16_t level, std::uint32_t count, const std::vector<double>& t, const std::vector<double>& o) {
    const std::size_t i = level & static_cast<std::uint16_t>(count - 1u);
    if (i >= t.size() || i >= o.size()) return 0.0f;
    volatile double sum = t[i] + o[i];
    return static_cast<float>(sum);
}

struct Table {
    std::vector<double> temperature, offset;
};

// Temperatures with values that stress the rounding to float: ties between two
// floats, values beyond the float range, below its smallest normal, NaN and
// infinities, plus ordinary decimals.
Table StressTable(std::size_t count, std::uint64_t seed) {
    Lcg random(seed);
    const double extremes[] = {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               1e39,
                               -3.5e38,
                               1e-40,
                               -1e-46,
                               1.0 + std::ldexp(1.0, -24),  // exactly half way between two floats
                               1.0 + 3 * std::ldexp(1.0, -24),
                               -0.0,
                               -999.0};
    Table table{std::vector<double>(count), std::vector<double>(count)};
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t pick = random.Next() % 4;
        table.temperature[i] =
            pick == 0 ? extremes[random.Next() % std::size(extremes)] : -83.0 + (random.Next() % 600000) / 1000.0;
        table.offset[i] = pick == 1 ? extremes[random.Next() % std::size(extremes)] : (random.Next() % 200) / 100.0;
    }
    return table;
}

std::vector<std::uint16_t> RandomLevels(std::size_t n, std::uint64_t seed) {
    Lcg random(seed);
    std::vector<std::uint16_t> levels(n);
    for (auto& level : levels) level = static_cast<std::uint16_t>(random.Next());
    return levels;
}

// Both paths against the definition, bit for bit.
LevelTableView View(std::uint32_t count, const Table& table) { return {count, table.temperature, table.offset}; }

void ExpectExact(const std::vector<std::uint16_t>& levels, std::uint32_t count, const Table& table) {
    std::vector<float> fast(levels.size(), 7.0f), scalar(levels.size(), 7.0f);
    LevelTemperatures(levels.data(), fast.data(), levels.size(), View(count, table));
    LevelTemperaturesScalar(levels.data(), scalar.data(), levels.size(), View(count, table));
    std::size_t mismatches = 0;
    for (std::size_t j = 0; j < levels.size(); ++j) {
        const std::uint32_t expected = Bits(Expected(levels[j], count, table.temperature, table.offset));
        mismatches += Bits(fast[j]) != expected;
        mismatches += Bits(scalar[j]) != expected;
    }
    EXPECT_EQ(mismatches, 0u) << "count " << count << ", columns " << table.temperature.size();
}

TEST(LevelTemperatures, FullFrameMatchesTheDefinitionBitForBit) {
    const std::vector<std::uint16_t> levels = RandomLevels(640 * 480, 3);
    ExpectExact(levels, 16384, StressTable(16384, 4));
    ExpectExact(levels, 65536, StressTable(65536, 5));
    // Columns shorter than the mask reaches: the missing entries read 0.0f.
    ExpectExact(levels, 0, StressTable(40000, 15));
    ExpectExact(levels, 16384, StressTable(100, 16));
}

TEST(LevelTemperatures, CountsThatAreNoPowerOfTwoMaskAsSixteenBits) {
    const std::vector<std::uint16_t> levels = RandomLevels(1000, 6);
    ExpectExact(levels, 1000, StressTable(1000, 7));  // mask 999 keeps some bits only
    ExpectExact(levels, 1, StressTable(1, 8));        // mask 0: every level reads entry 0
    // Count 0 masks with 0xFFFF: only a table of 65,536 entries covers that.
    ExpectExact(levels, 0, StressTable(65536, 9));
    ExpectExact(levels, 0, StressTable(16384, 10));
}

TEST(LevelTemperatures, ShortOrMissingColumnsGiveZeroInsteadOfReading) {
    std::vector<std::uint16_t> levels = RandomLevels(77, 11);
    levels[0] = 99;
    levels[1] = 100;
    Table table = StressTable(100, 12);
    table.temperature[99] = 20.5;
    table.offset[99] = 1.0;
    std::vector<float> out(levels.size());
    LevelTemperatures(levels.data(), out.data(), out.size(), View(16384, table));
    EXPECT_EQ(out[0], 21.5f);
    EXPECT_EQ(out[1], 0.0f);
    ExpectExact(levels, 16384, table);

    table.offset.resize(50);  // the shorter column decides
    ExpectExact(levels, 16384, table);
    LevelTemperatures(levels.data(), out.data(), out.size(), LevelTableView{16384, {}, {}});
    for (float value : out) EXPECT_EQ(value, 0.0f);
}

TEST(LevelTemperatures, AnyLengthWritesExactlyTheRun) {
    // A table of 16 entries: runs from 16 levels on take the table of sums.
    constexpr std::uint32_t kCount = 16;
    const Table table = StressTable(16384, 13);
    const std::vector<std::uint16_t> levels = RandomLevels(64, 14);
    for (std::size_t start = 0; start < 3; ++start) {
        for (std::size_t n = 0; n <= 33; ++n) {
            std::vector<float> out(levels.size(), -1.0f), expected(levels.size(), -1.0f);
            LevelTemperatures(levels.data() + start, out.data() + start, n, View(kCount, table));
            for (std::size_t j = start; j < start + n; ++j)
                expected[j] = Expected(levels[j], kCount, table.temperature, table.offset);
            for (std::size_t j = 0; j < out.size(); ++j)
                ASSERT_EQ(Bits(out[j]), Bits(expected[j])) << "start " << start << " n " << n << " at " << j;
        }
    }
    LevelTemperatures(nullptr, nullptr, 10, View(16384, table));
}

TEST(LevelTemperatures, RowsHonourStrideAndReversal) {
    // Three lines of five levels stored six levels apart; the padding must not be read as a pixel.
    const std::size_t width = 5, height = 3, stride = 6;
    Table table{std::vector<double>(16), std::vector<double>(16, 0.5)};
    for (std::size_t i = 0; i < 16; ++i) table.temperature[i] = static_cast<double>(i);
    std::vector<std::uint16_t> lines(stride * height, 15);
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x) lines[y * stride + x] = static_cast<std::uint16_t>(y * width + x);
    std::vector<float> out(width * height, -1.0f);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(lines.data());
    LevelTemperatureRows(bytes, stride * 2, width, height, false, out.data(), View(16, table));
    for (std::size_t j = 0; j < out.size(); ++j) EXPECT_EQ(out[j], static_cast<float>(j) + 0.5f);
    LevelTemperatureRows(bytes, stride * 2, width, height, true, out.data(), View(16, table));
    EXPECT_EQ(out[0], 10.5f);  // row 0 from line 2
    EXPECT_EQ(out[14], 4.5f);  // row 2 ends with line 0's last pixel
}

}  // namespace
}  // namespace calidra
