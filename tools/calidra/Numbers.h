// Strict parsing of numbers from the command line (the whole text or nothing),
// and the number forms the tool's outputs share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace calidra::tool {

class Numbers {
public:
    static std::optional<int> ParseInt(std::string_view text);
    static std::optional<double> ParseDouble(std::string_view text);
    // "0,2,5" -> {0, 2, 5}; nullopt when any item is not a whole number.
    static std::optional<std::vector<int>> ParseIntList(std::string_view text);
    // 1234567 -> "1,234,567", for sizes a person reads.
    static std::string Grouped(long long value);
    // 29.93 with decimals 2.
    static std::string Fixed(double value, int decimals);
    // The shortest text that reads back as the same float.
    static std::string ShortestFloat(float value);
    // A temperature as a 16-bit sample in hundredths of a kelvin:
    // (degrees C + 273.15) x 100 rounded, clamped to 0..65535; unknown (NaN) 0.
    static std::uint16_t Centikelvin(float degreesCelsius);
};

}  // namespace calidra::tool
