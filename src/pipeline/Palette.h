// The pseudo-colour palette: 360 steps from near black through violet, blue,
// cyan, green, yellow, red and pink to near white, built from the HLS model.
#pragma once

#include <array>
#include <cstdint>

namespace calidra {

class Palette {
public:
    static constexpr int kEntries = 360;
    // Red in bits 0-7, green in 8-15, blue in 16-23, bits 24-31 zero.
    using Entries = std::array<std::uint32_t, kEntries>;

    // One colour channel of the HLS model for the hue (taken modulo 360).
    static int PaletteChannel(int m1, int m2, int hue);
    // Fills all 360 entries: entry 0 is the darkest, entry 359 the lightest.
    static void BuildPalette(Entries& palette);

    static constexpr std::uint8_t Red(std::uint32_t entry) { return static_cast<std::uint8_t>(entry); }
    static constexpr std::uint8_t Green(std::uint32_t entry) { return static_cast<std::uint8_t>(entry >> 8); }
    static constexpr std::uint8_t Blue(std::uint32_t entry) { return static_cast<std::uint8_t>(entry >> 16); }
};

}  // namespace calidra
