#include "pipeline/ThermoTable.h"

#include <array>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "platform/LittleEndian.h"

namespace calidra {

namespace {

constexpr char kSingleMagic[] = "VELMAR THERMO TABLE 1000";
constexpr char kCollectionMagic[] = "VELMAR THERMO TABLE 2000";
constexpr std::size_t kMagicBytes = 24;
constexpr std::size_t kCountOffset = 24;
constexpr std::size_t kDirectoryOffset = 28;
constexpr std::size_t kPointBytes = 8;
constexpr std::int64_t kHistory = 10;

bool HasMagic(const ByteReader& block, const char* magic) {
    return block.Has(0, kMagicBytes) && std::memcmp(block.Data(), magic, kMagicBytes) == 0;
}

// The count at offset and the points after it, when all of them lie inside
// the block.
bool ReadTable(const ByteReader& block, std::size_t offset, std::vector<ThermoPoint>& points) {
    std::int32_t count = 0;
    if (!block.I32(offset, count) || count < 0) return false;
    const std::size_t first = offset + 4;
    if (!block.Has(first, static_cast<std::size_t>(count) * kPointBytes)) return false;
    try {
        points.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t k = 0; k < points.size(); ++k) {
        block.I32(first + k * kPointBytes, points[k].raw);
        block.Float(first + k * kPointBytes + 4, points[k].temperature);
    }
    return true;
}

// A block without magic holds exactly its count of points; up to 7 bytes
// beyond the last whole point are tolerated.
bool ReadBare(const ByteReader& block, std::vector<ThermoPoint>& points) {
    std::uint32_t count = 0;
    if (!block.U32(0, count)) return false;
    if (std::uint64_t{count} != (block.Size() - 4) / kPointBytes) return false;
    return ReadTable(block, 0, points);
}

bool ReadCollection(const ByteReader& block, int index, std::vector<ThermoPoint>& points) {
    std::int32_t tables = 0;
    if (!block.I32(kCountOffset, tables) || index < 0 || tables <= index) return false;
    // The whole directory must be in the block, not only the entry asked for.
    if (!block.Has(kDirectoryOffset, static_cast<std::size_t>(tables) * 4)) return false;
    std::uint32_t offset = 0;
    block.U32(kDirectoryOffset + static_cast<std::size_t>(index) * 4, offset);
    return ReadTable(block, offset, points);
}

}  // namespace

ThermoTable::ThermoTable() : points_(1) {}

// The single-table and collection layouts have their counts, offsets and index
// checked against the block too: a block that claims more than it holds is
// refused like a bare block whose count does not match.
bool ThermoTable::Load(const std::uint8_t* block, std::size_t size, int index) {
    if (block == nullptr) return false;
    ByteReader reader(block, size);
    std::vector<ThermoPoint> points;
    bool read = false;
    if (HasMagic(reader, kSingleMagic)) {
        read = ReadTable(reader, kCountOffset, points);
    } else if (HasMagic(reader, kCollectionMagic)) {
        read = ReadCollection(reader, index, points);
    } else {
        read = ReadBare(reader, points);
    }
    if (!read) return false;
    points_ = std::move(points);
    pointCount_ = static_cast<std::int32_t>(points_.size());
    return true;
}

void ThermoTable::BuildLookup() {
    lookup_.assign(kLookupSize, 0.0f);
    if (points_.size() >= static_cast<std::size_t>(kLevels)) {
        // A dense table: the point at position k belongs to level k whatever
        // its stored level says.
        for (std::int32_t k = 0; k < kLevels; ++k) lookup_[k] = points_[k].temperature;
    } else {
        for (std::int32_t k = 0; k < kLevels; ++k) lookup_[k] = Interpolate(k);
    }
    lookupS8_.resize(kLookupSize);
    lookupU8_.resize(kLookupSize);
    for (std::size_t v = 0; v < kLookupSize; ++v) {
        lookupS8_[v] = DegreesS8(lookup_[v]);
        lookupU8_[v] = DegreesU8(lookup_[v]);
    }
}

std::int8_t ThermoTable::DegreesS8(float temperature) {
    if (temperature <= -128.0f) return -128;
    if (temperature >= 127.0f) return 127;
    return std::isnan(temperature) ? 0 : static_cast<std::int8_t>(temperature);
}

std::uint8_t ThermoTable::DegreesU8(float temperature) {
    if (temperature <= 0.0f) return 0;
    if (temperature >= 255.0f) return 255;
    return std::isnan(temperature) ? 0 : static_cast<std::uint8_t>(temperature);
}

float ThermoTable::TemperatureOf(std::uint16_t level) const { return level < lookup_.size() ? lookup_[level] : 0.0f; }

// The walk never takes one of the last ten points as the first point above
// level. Missing lower points are (0, 0.0): when even the nearest one is, no
// secant exists and the result is 0.0; otherwise each of the (up to ten) pairs
// counts, placeholders included. A pair whose points share a level has no
// slope and is left out rather than filling the mean with an infinity.
float ThermoTable::Interpolate(std::int32_t level) const {
    const auto n = static_cast<std::int64_t>(points_.size());
    if (n <= kHistory) return 0.0f;

    std::array<ThermoPoint, kHistory> lower{};
    std::int64_t i = 0;
    bool upperFound = false;
    for (; i < n - kHistory; ++i) {
        const ThermoPoint& point = points_[i];
        if (point.raw < level) {
            for (std::int64_t k = kHistory - 1; k > 0; --k) lower[k] = lower[k - 1];
            lower[0] = point;
        } else if (point.raw > level) {
            upperFound = true;
            break;
        }
    }
    if (!upperFound) return 0.0f;
    if (lower[0].raw == 0 && lower[0].temperature == 0.0f) return 0.0f;

    float sum = 0.0f;
    int pairs = 0;
    for (std::int64_t k = 0; k < kHistory && i + k < n; ++k) {
        const ThermoPoint& upper = points_[i + k];
        const ThermoPoint& low = lower[k];
        const double run = static_cast<double>(upper.raw) - static_cast<double>(low.raw);
        if (run == 0.0) continue;
        const auto slope = static_cast<float>((static_cast<double>(upper.temperature) - low.temperature) / run);
        const double term = static_cast<double>(slope) * (static_cast<double>(level) - low.raw);
        sum = static_cast<float>(term + sum + low.temperature);
        ++pairs;
    }
    if (pairs == 0) return 0.0f;
    return static_cast<float>(static_cast<double>(sum) / pairs);
}

}  // namespace calidra
