#include "TestFiles.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace calidra::test {

const char* const BuiltPrograms::kTool = CALIDRA_TOOL;
const char* const BuiltPrograms::kDemo = CALIDRA_DEMO;
const char* const BuiltPrograms::kLiveHottest = CALIDRA_EXAMPLE_LIVE_HOTTEST;
const char* const BuiltPrograms::kRecordAvi = CALIDRA_EXAMPLE_RECORD_AVI;
const char* const BuiltPrograms::kCorrectionData = CALIDRA_EXAMPLE_CORRECTION_DATA;

namespace {

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

}  // namespace

std::string TestFiles::ScratchDir(const std::string& name) {
    std::filesystem::path dir = std::filesystem::path(CALIDRA_TEST_TMP) / "tools" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

std::vector<unsigned char> TestFiles::Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void TestFiles::Write(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

long long TestFiles::Size(const std::string& path) {
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    return error ? -1 : static_cast<long long>(size);
}

std::vector<std::uint16_t> TestFiles::PatternFrame(int seed) {
    std::vector<std::uint16_t> levels(std::size_t(kWidth) * kHeight);
    for (int row = 0; row < kHeight; ++row) {
        for (int column = 0; column < kWidth; ++column) {
            levels[std::size_t(row) * kWidth + column] =
                static_cast<std::uint16_t>((2000 + seed * 1000 + row * 17 + column * 3) % 16384);
        }
    }
    return levels;
}

std::vector<unsigned char> TestFiles::RawBytes(const std::vector<std::uint16_t>& levels) {
    std::vector<unsigned char> bytes;
    bytes.reserve(levels.size() * 2);
    for (std::uint16_t level : levels) {
        bytes.push_back(static_cast<unsigned char>(level));
        bytes.push_back(static_cast<unsigned char>(level >> 8));
    }
    return bytes;
}

AviFacts TestFiles::InspectAvi(const std::string& path) {
    AviFacts facts;
    std::vector<unsigned char> bytes = Read(path);
    facts.bytes = static_cast<long long>(bytes.size());
    if (bytes.size() < 232 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "AVI ", 4) != 0) {
        return facts;
    }
    const long long chunk = 8 + 640 * 480 * 3;
    facts.frames = Le32(bytes.data() + 48);
    const long long index = 232 + facts.frames * chunk;
    facts.finished = Le32(bytes.data() + 4) == bytes.size() - 8 && Le32(bytes.data() + 140) == facts.frames &&
                     index + 8 + facts.frames * 16 == facts.bytes &&
                     std::memcmp(bytes.data() + index, "idx1", 4) == 0 &&
                     Le32(bytes.data() + index + 4) == facts.frames * 16;
    return facts;
}

}  // namespace calidra::test
