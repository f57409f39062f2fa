// A thermo-table block of any bytes in any of the three layouts. The first
// input byte is the table index asked of a collection (as a signed byte, so
// negative indexes are tried too); the block is the rest.
#include <cstddef>
#include <cstdint>

#include "pipeline/ThermoTable.h"

namespace {

// Building the lookup interpolates every one of 16,384 levels over the points,
// a walk of the list each: the lookup is built for dense tables, which it only
// copies, and for the shortest sparse ones, and single levels are interpolated
// in lists of up to kInterpolationLimit points.
constexpr std::size_t kSparseLookupLimit = 12;
constexpr std::size_t kInterpolationLimit = 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calidra;
    if (size < 1) return 0;
    const int index = static_cast<std::int8_t>(data[0]);
    ThermoTable table;
    if (!table.Load(data + 1, size - 1, index)) {
        // A refused block leaves the single (0, 0.0) point.
        if (table.Points().size() != 1 || table.PointCount() != 1) __builtin_trap();
        return 0;
    }
    if (table.Points().size() > (size - 1) / 8) __builtin_trap();
    if (static_cast<std::size_t>(table.PointCount()) != table.Points().size()) __builtin_trap();

    volatile float sink = 0.0f;
    const std::size_t points = table.Points().size();
    if (points <= kInterpolationLimit) {
        for (std::int32_t level : {INT32_MIN, -1, 0, 1, 2595, 8192, 16383, 16384, INT32_MAX}) {
            sink = sink + table.Interpolate(level);
        }
        for (std::size_t k = 0; k < points && k < 8; ++k) sink = sink + table.Interpolate(table.Points()[k].raw);
    }
    if (points <= kSparseLookupLimit || points >= static_cast<std::size_t>(ThermoTable::kLevels)) {
        table.BuildLookup();
        if (table.Lookup().size() != ThermoTable::kLookupSize) __builtin_trap();
        for (std::uint32_t level : {0u, 1u, 8191u, 16383u, 16384u, 65535u}) {
            sink = sink + table.TemperatureOf(static_cast<std::uint16_t>(level));
        }
    }
    return 0;
}
