#include "device/NucTableSet.h"

#include <cstring>
#include <utility>

#include "platform/LittleEndian.h"

namespace calidra {

namespace {
constexpr char kMagic[] = "VL-NUCTBL";
constexpr std::size_t kMagicLength = sizeof kMagic - 1;
constexpr std::size_t kHeaderSize = 48;
constexpr std::size_t kRecordHeaderSize = 12;
}  // namespace

void NucTableSet::Reset(int width, int height) {
    width_ = width;
    height_ = height;
    recordCount_ = 0;
    stored_ = {};
    records_.clear();
}

int NucTableSet::LoadNucTables(const std::uint8_t* block, std::size_t length) {
    if (block == nullptr) length = 0;
    const ByteReader in(block, length);
    if (!in.Has(0, kMagicLength) || std::memcmp(block, kMagic, kMagicLength) != 0) return 0;

    // Header fields a short block lacks read as 0.
    std::int32_t width = 0, height = 0, count = 0, first = 0, second = 0;
    in.I32(16, width);
    in.I32(20, height);
    in.I32(24, count);
    in.I32(28, first);
    in.I32(32, second);
    width_ = width;
    height_ = height;
    recordCount_ = count;
    stored_ = {first, second};
    records_.clear();

    if (width < 0 || height < 0) return 1;
    // At most 2^62 values, so the byte size stays inside 64 bits.
    const std::uint64_t values = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    const std::uint64_t recordSize = kRecordHeaderSize + 2 * values;
    std::size_t offset = kHeaderSize;
    for (std::int32_t r = 0; r < count; ++r) {
        if (recordSize > length || !in.Has(offset, static_cast<std::size_t>(recordSize))) break;
        NucRecord record;
        for (std::size_t k = 0; k < 3; ++k) in.I32(offset + 4 * k, record.values[k]);
        record.levels.resize(static_cast<std::size_t>(values));
        const std::uint8_t* source = block + offset + kRecordHeaderSize;
        for (std::size_t i = 0; i < record.levels.size(); ++i) record.levels[i] = GetLE16(source + 2 * i);
        records_.push_back(std::move(record));
        offset += static_cast<std::size_t>(recordSize);
    }
    return 1;
}

}  // namespace calidra
