#include "pipeline/Temperatures.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "pipeline/DibImage.h"
#include "pipeline/LevelTemperatures.h"
#include "pipeline/ThermoTable.h"

namespace calidra {

namespace {

bool Usable(const DibImage* raw, const void* out) {
    return raw != nullptr && out != nullptr && raw->HasPixels() && raw->BitCount() == 16;
}

// Walks the stored lines in output order and hands every level to convert.
// Four levels come in one 64-bit load: the per-level loads and widenings, not
// the table lookups, were what the loop cost.
template <typename Out, typename Convert>
void ForEachLevel(const DibImage& raw, Out* out, bool reversedRows, Convert convert) {
    const std::int32_t width = raw.Width();
    const std::int32_t height = raw.Height();
    for (std::int32_t k = 0; k < height; ++k) {
        const auto* line = reinterpret_cast<const std::uint16_t*>(raw.Row(reversedRows ? height - 1 - k : k));
        Out* row = out + static_cast<std::size_t>(k) * static_cast<std::size_t>(width);
        std::int32_t j = 0;
        if constexpr (std::endian::native == std::endian::little) {
            for (; j + 4 <= width; j += 4) {
                std::uint64_t four;
                std::memcpy(&four, line + j, 8);
                row[j] = convert(static_cast<std::uint16_t>(four));
                row[j + 1] = convert(static_cast<std::uint16_t>(four >> 16));
                row[j + 2] = convert(static_cast<std::uint16_t>(four >> 32));
                row[j + 3] = convert(static_cast<std::uint16_t>(four >> 48));
            }
        }
        for (; j < width; ++j) row[j] = convert(line[j]);
    }
}

// One table load per level; the lookup covers every 16-bit level once built.
template <typename Out, typename Clamp>
int ThroughTable(const DibImage* raw, Out* out, bool reversedRows, const ThermoTable& table, Clamp clamp) {
    if (!Usable(raw, out)) return 0;
    const std::vector<float>& lookup = table.Lookup();
    if (lookup.size() >= ThermoTable::kLookupSize) {
        const float* degrees = lookup.data();
        ForEachLevel(*raw, out, reversedRows, [&](std::uint16_t v) { return clamp(degrees[v]); });
    } else {
        ForEachLevel(*raw, out, reversedRows, [&](std::uint16_t v) { return clamp(table.TemperatureOf(v)); });
    }
    return 1;
}

// The whole degrees of every level, prepared with the table, when it has them.
template <typename Out>
int ThroughByteTable(const DibImage* raw, Out* out, bool reversedRows, const ThermoTable& table,
                     const std::vector<Out>& degrees, Out (*clamp)(float)) {
    if (degrees.size() < ThermoTable::kLookupSize) return ThroughTable(raw, out, reversedRows, table, clamp);
    if (!Usable(raw, out)) return 0;
    const Out* byLevel = degrees.data();
    ForEachLevel(*raw, out, reversedRows, [byLevel](std::uint16_t v) { return byLevel[v]; });
    return 1;
}

}  // namespace

int TemperaturesS8(const DibImage* raw, std::int8_t* out, bool reversedRows, const ThermoTable& table) {
    return ThroughByteTable(raw, out, reversedRows, table, table.LookupS8(), ThermoTable::DegreesS8);
}

int TemperaturesU8(const DibImage* raw, std::uint8_t* out, bool reversedRows, const ThermoTable& table) {
    return ThroughByteTable(raw, out, reversedRows, table, table.LookupU8(), ThermoTable::DegreesU8);
}

int TemperaturesI32(const DibImage* raw, std::int32_t* out, bool reversedRows, const ThermoTable& table) {
    return ThroughTable(raw, out, reversedRows, table, [](float t) -> std::int32_t {
        // Converting a float beyond the 32-bit range would be undefined.
        if (std::isnan(t)) return 0;
        if (t <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
        if (t >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
        return static_cast<std::int32_t>(t);
    });
}

int TemperaturesF32(const DibImage* raw, float* out, bool reversedRows, const LevelColumns& levels) {
    if (!Usable(raw, out)) return 0;
    // The fast kernel gives the same bits as temperature[i] + offset[i] in double,
    // rounded to float, with 0.0 for a level beyond either column.
    LevelTemperatureRows(raw->Bits(), static_cast<std::size_t>(raw->Stride()), static_cast<std::size_t>(raw->Width()),
                         static_cast<std::size_t>(raw->Height()), reversedRows, out,
                         LevelTableView{levels.count, levels.temperature, levels.offset});
    return 1;
}

}  // namespace calidra
