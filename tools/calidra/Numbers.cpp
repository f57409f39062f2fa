#include "Numbers.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace calidra::tool {

std::optional<int> Numbers::ParseInt(std::string_view text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last) return std::nullopt;
    return value;
}

std::optional<double> Numbers::ParseDouble(std::string_view text) {
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::vector<int>> Numbers::ParseIntList(std::string_view text) {
    std::vector<int> values;
    while (true) {
        std::size_t comma = text.find(',');
        std::optional<int> value = ParseInt(text.substr(0, comma));
        if (!value) return std::nullopt;
        values.push_back(*value);
        if (comma == std::string_view::npos) return values;
        text.remove_prefix(comma + 1);
    }
}

std::string Numbers::Grouped(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

std::string Numbers::Fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string Numbers::ShortestFloat(float value) {
    char buffer[32];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) return "nan";
    return std::string(buffer, end);
}

std::uint16_t Numbers::Centikelvin(float degreesCelsius) {
    const double centikelvin = std::round((double(degreesCelsius) + 273.15) * 100.0);
    // Not-a-number fails both tests and becomes 0; everything else is clamped.
    if (centikelvin >= 65535.0) return 65535;
    if (centikelvin > 0.0) return static_cast<std::uint16_t>(centikelvin);
    return 0;
}

}  // namespace calidra::tool
