#include "pipeline/LevelColours.h"

#include <algorithm>

namespace calidra {

namespace {

// The first level of (lower, upper) whose step is at least e, or upper when
// none is. The step is monotonic in the level, so the whole-number estimate
// only needs checking against the double formula at its neighbours, which
// settles any rounding of the formula either way.
std::int64_t FirstLevelOfStep(int e, std::int32_t lower, std::int32_t upper) {
    const std::int64_t span = static_cast<std::int64_t>(upper) - lower;
    std::int64_t level = lower + (static_cast<std::int64_t>(e) * span + (Palette::kEntries - 1)) / Palette::kEntries;
    level = std::clamp<std::int64_t>(level, static_cast<std::int64_t>(lower) + 1, upper);
    while (level - 1 > lower && LevelColours::StepOf(level - 1, lower, upper) >= e) --level;
    while (level < upper && LevelColours::StepOf(level, lower, upper) < e) ++level;
    return level;
}

}  // namespace

LevelColours::LevelColours(const Palette::Entries& palette) : table_(kLevels, kBlack) {
    for (std::size_t e = 0; e < colours_.size(); ++e) colours_[e] = BlueGreenRed(palette[e]);
}

std::uint32_t LevelColours::BlueGreenRed(std::uint32_t paletteEntry) {
    return static_cast<std::uint32_t>(Palette::Blue(paletteEntry)) |
           static_cast<std::uint32_t>(Palette::Green(paletteEntry)) << 8 |
           static_cast<std::uint32_t>(Palette::Red(paletteEntry)) << 16;
}

int LevelColours::StepOf(std::int64_t level, std::int32_t lower, std::int32_t upper) {
    const double span = static_cast<double>(upper) - static_cast<double>(lower);
    const double step = static_cast<double>(level - lower) * 360.0 / span;
    return std::clamp(static_cast<int>(step), 0, Palette::kEntries - 1);
}

void LevelColours::Prepare(std::int32_t lower, std::int32_t upper) {
    if (!built_) {
        Build(0, kLevels - 1, lower, upper);
    } else if (lower != lower_ || upper != upper_) {
        // At or below both lower levels every level is black under both ranges,
        // and above both lower levels and at or above both upper levels white.
        const std::int64_t first = static_cast<std::int64_t>(std::min(lower, lower_)) + 1;
        const std::int64_t end = std::max<std::int64_t>(
            {upper, upper_, static_cast<std::int64_t>(lower) + 1, static_cast<std::int64_t>(lower_) + 1});
        Build(std::max<std::int64_t>(first, 0), std::min<std::int64_t>(end, kLevels) - 1, lower, upper);
    }
    built_ = true;
    lower_ = lower;
    upper_ = upper;
}

void LevelColours::Fill(std::int64_t first, std::int64_t end, std::uint32_t colour) {
    if (first < end)
        std::fill(table_.begin() + static_cast<std::ptrdiff_t>(first),
                  table_.begin() + static_cast<std::ptrdiff_t>(end), colour);
}

void LevelColours::Build(std::int64_t first, std::int64_t last, std::int32_t lower, std::int32_t upper) {
    if (first > last) return;
    const std::int64_t end = last + 1;
    const std::int64_t aboveLower = static_cast<std::int64_t>(lower) + 1;
    Fill(first, std::min(end, aboveLower), kBlack);
    // Level by level the step only grows: one run of equal colour per step.
    std::int64_t level = std::max(first, aboveLower);
    const std::int64_t paletteEnd = std::min<std::int64_t>(end, upper);
    while (level < paletteEnd) {
        const int e = StepOf(level, lower, upper);
        const std::int64_t next =
            e + 1 < Palette::kEntries ? FirstLevelOfStep(e + 1, lower, upper) : static_cast<std::int64_t>(upper);
        const std::int64_t runEnd = std::min(next, paletteEnd);
        Fill(level, runEnd, colours_[static_cast<std::size_t>(e)]);
        level = runEnd;
    }
    Fill(std::max({first, aboveLower, static_cast<std::int64_t>(upper)}), end, kWhite);
}

}  // namespace calidra
