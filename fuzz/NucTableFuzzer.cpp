// A NUC-table block of any bytes, alone: the header's width, height and record
// count against the bytes really there.
#include <cstddef>
#include <cstdint>

#include "device/NucTableSet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calidra;
    NucTableSet tables;
    if (tables.LoadNucTables(data, size) != 1) return 0;
    // Every record taken must be whole: its levels are width x height values.
    const auto expected = static_cast<std::uint64_t>(tables.Width()) * static_cast<std::uint64_t>(tables.Height());
    for (const NucRecord& record : tables.Records()) {
        if (record.levels.size() != expected) __builtin_trap();
    }
    if (tables.Records().size() > size) __builtin_trap();
    return 0;
}
