// The temperature (degrees Celsius) and offset of every raw level, filled from a
// camera's data set.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace calidra {

class LevelTable {
public:
    static constexpr std::uint32_t kDefaultCount = 16384;
    // Raw levels are 16-bit and the readout masks them with count - 1 formed in
    // 16 bits, so entries beyond 65,536 could never be read; larger tables are
    // refused rather than allocated.
    static constexpr std::uint32_t kMaxCount = 65536;

    // Count 16384 and no arrays until InitLevelTable.
    LevelTable() = default;

    // 1 after giving the table n entries of the default temperatures and zero
    // offsets; 0 for n < 1, n > kMaxCount or no memory, and then nothing changes.
    int InitLevelTable(std::int64_t n);

    std::uint32_t Count() const { return count_; }
    bool HasArrays() const { return !temperature_.empty(); }

    // Entry access by index: valid below the count while the arrays exist.
    bool GetTemperature(std::uint32_t index, double& value) const;
    bool SetTemperature(std::uint32_t index, double value);
    bool GetOffset(std::uint32_t index, double& value) const;
    bool SetOffset(std::uint32_t index, double value);

    // Temperature plus offset of raw level r at index r & (count - 1), the mask
    // formed in 16 bits, rounded to single precision; 0 without arrays.
    float TemperatureOfLevel(std::uint16_t level) const;

    std::span<double> Temperatures() { return temperature_; }
    std::span<const double> Temperatures() const { return temperature_; }
    std::span<double> Offsets() { return offset_; }
    std::span<const double> Offsets() const { return offset_; }

    // Five values a data set carries and nothing reads.
    std::array<std::int32_t, 5>& StoredValues() { return stored_; }
    const std::array<std::int32_t, 5>& StoredValues() const { return stored_; }

private:
    std::uint32_t count_ = kDefaultCount;
    std::vector<double> temperature_;
    std::vector<double> offset_;
    std::array<std::int32_t, 5> stored_{};
};

}  // namespace calidra
