// Turns a raw sensor level into degrees Celsius: a list of calibration points
// read from a thermo-table block, and a 65,536-entry lookup built from them.
//
// Blocks come in three layouts, told apart by their first 24 bytes: a single
// table ("VELMAR THERMO TABLE 1000", then a count and the points), a collection
// ("VELMAR THERMO TABLE 2000", then a count of tables, a directory of offsets
// and at each offset a count and the points), or bare (a count and exactly that
// many points). A point is 8 bytes: a 32-bit signed level and a 32-bit float,
// little-endian.
//
// The library's two tables are loaded once while an instance is set up, then
// only read: there is no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace calidra {

struct ThermoPoint {
    std::int32_t raw = 0;
    float temperature = 0.0f;
};

class ThermoTable {
public:
    static constexpr std::size_t kLookupSize = 65536;
    // Levels 0..kLevels-1 are the sensor's; a dense table has a point for each.
    static constexpr std::int32_t kLevels = 16384;

    // One point (0, 0.0) and no lookup.
    ThermoTable();

    // Takes the points of one table from block (size bytes; the source keeps
    // it). index chooses the table of a collection and is ignored otherwise.
    // false, with the points unchanged, for a null block, a bare block whose
    // count does not match its size, an index outside the collection, or a
    // count, offset or point that lies beyond the block.
    bool Load(const std::uint8_t* block, std::size_t size, int index);

    // 65,536 entries: a table of at least 16,384 points gives the temperature of
    // point k to level k; a shorter one is interpolated level by level. Levels
    // 16384 and above stay 0.0. The whole-degree lookups are built beside it.
    void BuildLookup();

    // Whole degrees of a temperature as the 8-bit temperature pictures hold
    // them: held at -128 and 127 (0 and 255), truncated toward zero between,
    // 0 for a value that is not a number.
    static std::int8_t DegreesS8(float temperature);
    static std::uint8_t DegreesU8(float temperature);

    // The lookup entry of level, or 0.0 beyond the lookup (before BuildLookup).
    float TemperatureOf(std::uint16_t level) const;

    // The mean of up to ten secants between the nearest lower points and the
    // points from the first one above level on, computed in single precision.
    // 0.0 when the table has ten points or fewer, when no point above level is
    // found before the last ten, or when level has no real lower point.
    float Interpolate(std::int32_t level) const;

    const std::vector<ThermoPoint>& Points() const { return points_; }
    std::int32_t PointCount() const { return pointCount_; }
    const std::vector<float>& Lookup() const { return lookup_; }
    // DegreesS8 and DegreesU8 of every lookup entry: an 8-bit picture costs
    // one byte load per pixel. Empty before BuildLookup.
    const std::vector<std::int8_t>& LookupS8() const { return lookupS8_; }
    const std::vector<std::uint8_t>& LookupU8() const { return lookupU8_; }

private:
    std::vector<ThermoPoint> points_;
    std::vector<float> lookup_;
    std::vector<std::int8_t> lookupS8_;
    std::vector<std::uint8_t> lookupU8_;
    std::int32_t pointCount_ = 1;
};

}  // namespace calidra
