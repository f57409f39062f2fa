#include "pipeline/LevelTemperatures.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "platform/ScratchPool.h"

namespace calidra {

namespace {

std::uint16_t MaskOf(const LevelTableView& table) { return static_cast<std::uint16_t>(table.count - 1u); }

float Degrees(const LevelTableView& table, std::size_t usable, std::uint16_t level) {
    const std::size_t i = level & MaskOf(table);
    return i < usable ? static_cast<float>(table.temperature[i] + table.offset[i]) : 0.0f;
}

// Every level of a frame is looked up through one table of float sums: each
// entry is the very rounding the definition makes, so a lookup gives the same
// bits, at one load per pixel instead of two loads, an addition and a
// conversion. The tables (at most 65,536 floats each) are kept for reuse, one
// for each conversion running at the same time, so a frame's conversion
// allocates nothing after the first.
ScratchPool<float>& SumTables() {
    static ScratchPool<float> tables;
    return tables;
}

// nullptr when the table cannot be made; the caller then converts directly.
const float* PrepareFloatSums(const LevelTableView& table, std::vector<float>& sums) {
    const std::size_t entries = std::size_t{MaskOf(table)} + 1;
    const std::size_t usable = std::min(table.temperature.size(), table.offset.size());
    try {
        if (sums.size() < entries) sums.resize(entries);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    float* out = sums.data();
    const std::size_t covered = std::min(entries, usable);
    const double* temperature = table.temperature.data();
    const double* offset = table.offset.data();
    for (std::size_t i = 0; i < covered; ++i) out[i] = static_cast<float>(temperature[i] + offset[i]);
    std::fill(out + covered, out + entries, 0.0f);
    return out;
}

// Walking an image's lines last to first defeats the processor's own
// prefetching: from memory such a conversion ran three times slower than one in
// storage order. Asking for the next line while one is converted brings it
// back to the speed of a forward walk.
void PrefetchLine(const std::uint16_t* line, std::size_t width) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(line);
    for (std::size_t b = 0; b < width * sizeof(std::uint16_t); b += 64) __builtin_prefetch(bytes + b);
}

// The table lookups were never the cost: a load, a mask and a widening per
// level were. Four levels to a 64-bit load, masked at once, make the frame
// about a third faster.
void LookUp(const std::uint16_t* levels, float* out, std::size_t count, const float* sums, std::uint16_t mask) {
    std::size_t j = 0;
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint64_t masks = mask * std::uint64_t{0x0001000100010001};
        for (; j + 8 <= count; j += 8) {
            std::uint64_t first, second;
            std::memcpy(&first, levels + j, 8);
            std::memcpy(&second, levels + j + 4, 8);
            first &= masks;
            second &= masks;
            out[j] = sums[first & 0xFFFF];
            out[j + 1] = sums[(first >> 16) & 0xFFFF];
            out[j + 2] = sums[(first >> 32) & 0xFFFF];
            out[j + 3] = sums[first >> 48];
            out[j + 4] = sums[second & 0xFFFF];
            out[j + 5] = sums[(second >> 16) & 0xFFFF];
            out[j + 6] = sums[(second >> 32) & 0xFFFF];
            out[j + 7] = sums[second >> 48];
        }
    }
    for (; j < count; ++j) out[j] = sums[levels[j] & mask];
}

}  // namespace

void LevelTemperaturesScalar(const std::uint16_t* levels, float* out, std::size_t count, const LevelTableView& table) {
    if (levels == nullptr || out == nullptr) return;
    const std::size_t usable = std::min(table.temperature.size(), table.offset.size());
    for (std::size_t j = 0; j < count; ++j) out[j] = Degrees(table, usable, levels[j]);
}

void LevelTemperatures(const std::uint16_t* levels, float* out, std::size_t count, const LevelTableView& table) {
    LevelTemperatureRows(reinterpret_cast<const std::uint8_t*>(levels), count * sizeof(std::uint16_t), count, 1, false,
                         out, table);
}

void LevelTemperatureRows(const std::uint8_t* lines, std::size_t strideBytes, std::size_t width, std::size_t height,
                          bool reversedRows, float* out, const LevelTableView& table) {
    if (lines == nullptr || out == nullptr) return;
    auto line = [&](std::size_t k) {
        return reinterpret_cast<const std::uint16_t*>(lines + (reversedRows ? height - 1 - k : k) * strideBytes);
    };
    // Preparing the table costs about as much as converting as many levels as it
    // has entries: below that the direct conversion is cheaper.
    const std::size_t entries = std::size_t{MaskOf(table)} + 1;
    std::optional<ScratchPool<float>::Lease> lease;
    const float* sums = nullptr;
    if (width * height >= entries) {
        try {
            lease.emplace(SumTables().Take());
            sums = PrepareFloatSums(table, **lease);
        } catch (const std::bad_alloc&) {
            sums = nullptr;
        }
    }
    for (std::size_t k = 0; k < height; ++k) {
        if (reversedRows && k + 1 < height) PrefetchLine(line(k + 1), width);
        if (sums != nullptr)
            LookUp(line(k), out + k * width, width, sums, MaskOf(table));
        else
            LevelTemperaturesScalar(line(k), out + k * width, width, table);
    }
}

}  // namespace calidra
