// Camera data sets put together field by field, for the tests and the fuzz
// seeds: a 48-byte file header, then sections of a 16-byte header holding the
// length, the data and zeros up to 16 bytes. Header-only over the platform's
// little-endian packers, so any test or tool may include it.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/LittleEndian.h"

namespace calidra::test {

using Bytes = std::vector<std::uint8_t>;

// Writers at an offset that grow the buffer as far as the value needs.
inline void Put32(Bytes& out, std::size_t at, std::uint32_t value) {
    if (out.size() < at + 4) out.resize(at + 4);
    PutLE32(out.data() + at, value);
}
inline void PutDouble(Bytes& out, std::size_t at, double value) {
    if (out.size() < at + 8) out.resize(at + 8);
    PutLEDouble(out.data() + at, value);
}
inline void PutText(Bytes& out, std::size_t at, const std::string& text) {
    if (out.size() < at + text.size()) out.resize(at + text.size());
    std::memcpy(out.data() + at, text.data(), text.size());
}

inline bool SaveBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

class DataSetBytes {
public:
    explicit DataSetBytes(const std::string& version = "1011") {
        PutText(bytes_, 0, "VL-DATSET-V" + version);
        bytes_.resize(48);
    }
    DataSetBytes& Section(const Bytes& data) { return Section(data, static_cast<std::uint32_t>(data.size())); }
    // A stated length other than the data's own makes a lying header.
    DataSetBytes& Section(const Bytes& data, std::uint32_t statedLength) {
        const std::size_t header = bytes_.size();
        bytes_.resize(header + 16);
        PutLE32(bytes_.data() + header, statedLength);
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        bytes_.resize((bytes_.size() + 15) / 16 * 16);
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

struct BadPixelRecord {
    std::int32_t x, y, direction, reserved;
};

inline Bytes BadPixelSection(const std::vector<BadPixelRecord>& records, std::uint32_t statedCount) {
    Bytes data(32);
    Put32(data, 16, statedCount);
    for (const BadPixelRecord& r : records) {
        const std::size_t at = data.size();
        Put32(data, at, static_cast<std::uint32_t>(r.x));
        Put32(data, at + 4, static_cast<std::uint32_t>(r.y));
        Put32(data, at + 8, static_cast<std::uint32_t>(r.direction));
        Put32(data, at + 12, static_cast<std::uint32_t>(r.reserved));
    }
    return data;
}

// The sensor values a shipped data set holds.
inline constexpr std::array<std::uint32_t, 9> kShippedSensorValues{636, 2, 2098, 1041, 1660, 3459, 2220, 2854, 0};

// magic is the text at the start, e.g. "VL-SETTING-1011".
inline Bytes SettingsSection(const std::string& magic, const std::array<std::uint32_t, 9>& values,
                             std::uint32_t referenceLevel) {
    Bytes data;
    PutText(data, 0, magic);
    for (std::size_t k = 0; k < values.size(); ++k) Put32(data, 16 + 4 * k, values[k]);
    Put32(data, 52, referenceLevel);
    return data;
}

// Four planes of `pixels` doubles each; value(plane, i) fills them.
template <typename Value>
Bytes PlaneSection(std::uint16_t tag, double scale, std::size_t pixels, Value value) {
    Bytes data(48 + 4 * pixels * 8);
    PutLE16(data.data() + 24, tag);
    PutLE32(data.data() + 28, static_cast<std::uint32_t>(pixels * 8));
    PutLEDouble(data.data() + 32, scale);
    for (int k = 0; k < 4; ++k) {
        for (std::size_t i = 0; i < pixels; ++i) PutLEDouble(data.data() + 48 + (k * pixels + i) * 8, value(k, i));
    }
    return data;
}

// The stated count, five stored values, then whatever values are given (the
// temperatures and then the offsets of a whole table).
inline Bytes LevelSection(std::uint32_t statedCount, const std::vector<double>& values,
                          const std::array<std::uint32_t, 5>& stored = {}) {
    Bytes data(48);
    Put32(data, 16, statedCount);
    for (std::size_t k = 0; k < stored.size(); ++k) Put32(data, 20 + 4 * k, stored[k]);
    for (std::size_t i = 0; i < values.size(); ++i) PutDouble(data, 48 + 8 * i, values[i]);
    return data;
}

// A block of NUC tables: the size, the stated count and two stored values,
// then recordsPresent records of three values and width x height levels, level
// i of record r being levelStep * r + i.
inline Bytes NucBlock(std::int32_t width, std::int32_t height, std::int32_t statedCount, int recordsPresent,
                      int levelStep, const std::array<std::uint32_t, 2>& stored = {77, 88}) {
    Bytes data;
    PutText(data, 0, "VL-NUCTBL-V1040");
    data.resize(48);
    Put32(data, 16, static_cast<std::uint32_t>(width));
    Put32(data, 20, static_cast<std::uint32_t>(height));
    Put32(data, 24, static_cast<std::uint32_t>(statedCount));
    Put32(data, 28, stored[0]);
    Put32(data, 32, stored[1]);
    for (int r = 0; r < recordsPresent; ++r) {
        const std::size_t at = data.size();
        for (int k = 0; k < 3; ++k) Put32(data, at + 4 * k, static_cast<std::uint32_t>(10 * r + k));
        data.resize(at + 12 + 2 * static_cast<std::size_t>(width * height));
        for (int i = 0; i < width * height; ++i)
            PutLE16(data.data() + at + 12 + 2 * i, static_cast<std::uint16_t>(levelStep * r + i));
    }
    return data;
}

// A data set as a camera maker ships one for the 640 x 480 sensor: planes of
// one value each over the whole frame, a whole level table and an empty block
// of NUC tables.
struct ShippedDataSet {
    static constexpr std::int32_t kWidth = 640;
    static constexpr std::int32_t kHeight = 480;

    std::string version = "1011";  // of the settings
    std::array<std::uint32_t, 9> sensorValues = kShippedSensorValues;
    std::uint32_t referenceLevel = 6000;
    std::vector<BadPixelRecord> badPixels;
    std::uint16_t tag = 0;
    double scale = 1024.0;
    std::array<double, 4> planes{1.0, 0.0, 0.0, 1.0};
    std::vector<double> temperatures;
    std::vector<double> offsets;

    Bytes Build() const {
        std::vector<double> levels = temperatures;
        levels.insert(levels.end(), offsets.begin(), offsets.end());
        return DataSetBytes()
            .Section(BadPixelSection(badPixels, static_cast<std::uint32_t>(badPixels.size())))
            .Section(SettingsSection("VL-SETTINGS" + version, sensorValues, referenceLevel))
            .Section(PlaneSection(tag, scale, std::size_t{kWidth} * kHeight,
                                  [this](int k, std::size_t) { return planes[static_cast<std::size_t>(k)]; }))
            .Section(LevelSection(static_cast<std::uint32_t>(temperatures.size()), levels))
            .Section(NucBlock(kWidth, kHeight, 0, 0, 0, {0, 0}))
            .bytes();
    }
};

}  // namespace calidra::test
