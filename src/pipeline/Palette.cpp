#include "pipeline/Palette.h"

#include <algorithm>

namespace calidra {

int Palette::PaletteChannel(int m1, int m2, int hue) {
    hue %= 360;
    if (hue < 0) hue += 360;
    if (hue < 60) return m1 + static_cast<int>(static_cast<double>(m2 - m1) * hue / 60.0);
    if (hue < 180) return m2;
    if (hue < 240) return m1 + static_cast<int>(static_cast<double>(m2 - m1) * (240 - hue) / 60.0);
    return m1;
}

void Palette::BuildPalette(Entries& palette) {
    for (int i = 0; i < kEntries; ++i) {
        const int n = 38100 - 127 * i;
        // Full lightness falls over the first 60 steps and again over the last 59,
        // so the ends of the scale fade to white and to black.
        int lightness = i < 60 ? (n - 30480) / 60 + 127 : 127;
        if (i > 300) lightness += n / 60;
        const int m2 = lightness < 128 ? lightness * 510 / 255 : 255;
        const int m1 = 2 * lightness - m2;
        auto channel = [&](int hue) {
            return static_cast<std::uint32_t>(std::clamp(PaletteChannel(m1, m2, hue), 0, 255));
        };
        const std::uint32_t red = channel(i + 420);
        const std::uint32_t green = channel(i + 300);
        const std::uint32_t blue = channel(i + 180);
        palette[static_cast<std::size_t>(kEntries - 1 - i)] = red + 256u * green + 65536u * blue;
    }
}

}  // namespace calidra
