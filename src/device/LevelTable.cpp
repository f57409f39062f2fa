#include "device/LevelTable.h"

#include <algorithm>
#include <new>

namespace calidra {

int LevelTable::InitLevelTable(std::int64_t n) {
    if (n < 1 || n > std::int64_t{kMaxCount}) return 0;
    const auto count = static_cast<std::uint32_t>(n);
    // Arrays of the same count are refilled where they are (every camera
    // set-up asks for 16,384 again); others are made aside, so that running
    // out of memory leaves the table as it was.
    const bool refill = count == temperature_.size() && count == offset_.size();
    std::vector<double> fresh;
    std::vector<double> freshOffset;
    if (!refill) {
        try {
            fresh.resize(count);
            freshOffset.resize(count);
        } catch (const std::bad_alloc&) {
            return 0;
        }
    }
    std::vector<double>& temperature = refill ? temperature_ : fresh;
    std::vector<double>& offset = refill ? offset_ : freshOffset;
    std::fill(offset.begin(), offset.end(), 0.0);
    // Before a data set arrives: a spread from -40 to 150 degrees over the table,
    // overwritten by (level - 2595) x 125 / 3890 (level 2595 reads 0 degrees,
    // level 6485 reads 125) for every level below 16383. The last level of a full
    // 14-bit table thus keeps the spread.
    for (std::uint32_t i = 0; i < count; ++i) {
        temperature[i] = 190.0 * static_cast<double>(i) / static_cast<double>(count) - 40.0;
    }
    const std::uint32_t sloped = std::min<std::uint32_t>(count, 16383);
    for (std::uint32_t j = 0; j < sloped; ++j) {
        temperature[j] = static_cast<double>(j) * 0.032133676092544985 - 83.38688946015424;
    }
    count_ = count;
    if (!refill) {
        temperature_.swap(fresh);
        offset_.swap(freshOffset);
    }
    return 1;
}

bool LevelTable::GetTemperature(std::uint32_t index, double& value) const {
    if (index >= count_ || index >= temperature_.size()) return false;
    value = temperature_[index];
    return true;
}

bool LevelTable::SetTemperature(std::uint32_t index, double value) {
    if (index >= count_ || index >= temperature_.size()) return false;
    temperature_[index] = value;
    return true;
}

bool LevelTable::GetOffset(std::uint32_t index, double& value) const {
    if (index >= count_ || index >= offset_.size()) return false;
    value = offset_[index];
    return true;
}

bool LevelTable::SetOffset(std::uint32_t index, double value) {
    if (index >= count_ || index >= offset_.size()) return false;
    offset_[index] = value;
    return true;
}

float LevelTable::TemperatureOfLevel(std::uint16_t level) const {
    const auto mask = static_cast<std::uint16_t>(count_ - 1);
    const std::size_t index = level & mask;
    if (index >= temperature_.size() || index >= offset_.size()) return 0.0f;
    return static_cast<float>(temperature_[index] + offset_[index]);
}

}  // namespace calidra
