#include "DataSetFile.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace calidra::test {

namespace {

class Bytes {
public:
    void Text(const char* text, std::size_t size) {
        std::size_t length = std::strlen(text);
        for (std::size_t i = 0; i < size; ++i) bytes_.push_back(i < length ? static_cast<unsigned char>(text[i]) : 0);
    }
    void U32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<unsigned char>(value >> shift));
    }
    void Double(double value) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int shift = 0; shift < 64; shift += 8) bytes_.push_back(static_cast<unsigned char>(bits >> shift));
    }
    void Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    // A section: a 16-byte header holding the data length, the data, then
    // zeros up to the next multiple of 16.
    void Section(const Bytes& data) {
        U32(static_cast<std::uint32_t>(data.bytes_.size()));
        Zeros(12);
        bytes_.insert(bytes_.end(), data.bytes_.begin(), data.bytes_.end());
        Zeros((16 - data.bytes_.size() % 16) % 16);
    }
    const std::vector<unsigned char>& Get() const { return bytes_; }

private:
    std::vector<unsigned char> bytes_;
};

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::uint32_t kPlaneBytes = kWidth * kHeight * 8;
constexpr int kLevels = 16384;

}  // namespace

void DataSetFile::Write(const std::string& path) {
    Bytes file;
    file.Text("VL-DATSET-V1011", 48);

    Bytes badPixels;
    badPixels.Zeros(16);
    badPixels.U32(1);
    badPixels.Zeros(12);
    badPixels.U32(10);  // x
    badPixels.U32(5);   // y
    badPixels.U32(0);   // take the value of the line below
    badPixels.U32(0);
    file.Section(badPixels);

    Bytes settings;
    settings.Text("VL-SETTINGS1011", 16);
    for (std::uint32_t value : {636u, 2u, 2098u, 1041u, 1660u, 3459u, 2220u, 2854u, 0u, 6000u}) settings.U32(value);
    file.Section(settings);

    Bytes planes;
    planes.Zeros(24);
    planes.U32(0x1234);  // tag value (low 16 bits used)
    planes.U32(kPlaneBytes);
    planes.Double(1024.0);
    planes.Zeros(8);
    for (double value : {1.0, 0.0, 0.0, 1.0}) {
        for (int i = 0; i < kWidth * kHeight; ++i) planes.Double(value);
    }
    file.Section(planes);

    Bytes levels;
    levels.Zeros(16);
    levels.U32(kLevels);
    levels.Zeros(28);
    for (int level = 0; level < kLevels; ++level) levels.Double((level - 2595) * 125.0 / 3890.0);
    for (int level = 0; level < kLevels; ++level) levels.Double(0.0);
    file.Section(levels);

    Bytes nucTables;
    nucTables.Text("VL-NUCTBL-V1040", 16);
    nucTables.U32(kWidth);
    nucTables.U32(kHeight);
    nucTables.U32(0);
    nucTables.Zeros(20);
    file.Section(nucTables);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.Get().data()), static_cast<std::streamsize>(file.Get().size()));
}

}  // namespace calidra::test
