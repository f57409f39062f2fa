// The colour of every 16-bit raw level for one colour range: black at or below
// the lower level, white at or above the upper level, the palette step of the
// level in between. Built once for a range and patched where a new range
// differs, so that colouring a frame costs one lookup per pixel.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "pipeline/Palette.h"

namespace calidra {

class LevelColours {
public:
    static constexpr std::int64_t kLevels = 65536;
    // Blue in bits 0-7, green in 8-15, red in 16-23, bits 24-31 zero: the byte
    // order of a 24-bit pixel.
    static constexpr std::uint32_t kBlack = 0;
    static constexpr std::uint32_t kWhite = 0xFFFFFF;

    explicit LevelColours(const Palette::Entries& palette);
    LevelColours(const LevelColours&) = delete;
    LevelColours& operator=(const LevelColours&) = delete;

    // Makes the table hold the colours of the range (lower, upper); rewrites
    // only the levels whose colour differs from the previous range's.
    void Prepare(std::int32_t lower, std::int32_t upper);
    // kLevels entries, indexed by raw level.
    const std::uint32_t* Table() const { return table_.data(); }

    // The palette step of a level strictly inside the range, in double
    // precision and truncated: (level - lower) * 360 / (upper - lower).
    static int StepOf(std::int64_t level, std::int32_t lower, std::int32_t upper);
    static std::uint32_t BlueGreenRed(std::uint32_t paletteEntry);

private:
    // Writes the colours of levels first to last (inclusive, inside the table).
    void Build(std::int64_t first, std::int64_t last, std::int32_t lower, std::int32_t upper);
    void Fill(std::int64_t first, std::int64_t end, std::uint32_t colour);

    std::array<std::uint32_t, Palette::kEntries> colours_{};
    std::vector<std::uint32_t> table_;
    bool built_ = false;
    std::int32_t lower_ = 0;
    std::int32_t upper_ = 0;
};

}  // namespace calidra
