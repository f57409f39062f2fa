// The tables of a "VL-NUCTBL" block: kept as loaded, read by nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/SensorFrame.h"

namespace calidra {

struct NucRecord {
    std::array<std::int32_t, 3> values{};
    // width x height levels of the block that held the record.
    std::vector<std::uint16_t> levels;
};

class NucTableSet {
public:
    // Size of the set, the header values zero and no records.
    void Reset(int width = kFrameWidth, int height = kFrameHeight);

    // Loads a block of length bytes. 0 when it does not start with "VL-NUCTBL",
    // and nothing changes; otherwise 1 after taking the header and every record,
    // up to the stated count, that lies wholly inside the block.
    int LoadNucTables(const std::uint8_t* block, std::size_t length);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // The count the block states; Records().size() is how many it really held.
    std::int32_t RecordCount() const { return recordCount_; }
    const std::array<std::int32_t, 2>& StoredValues() const { return stored_; }
    const std::vector<NucRecord>& Records() const { return records_; }

private:
    int width_ = kFrameWidth;
    int height_ = kFrameHeight;
    std::int32_t recordCount_ = 0;
    std::array<std::int32_t, 2> stored_{};
    std::vector<NucRecord> records_;
};

}  // namespace calidra
