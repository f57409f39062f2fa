#include "RecordingFiles.h"

#include <array>
#include <cstring>
#include <fstream>
#include <system_error>

namespace calidra::tool {

namespace {

constexpr long long kAviHeaderBytes = 232;
constexpr long long kAviChunkBytes = 8 + 640 * 480 * 3;

std::uint32_t Le32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

}  // namespace

RecordingFiles::RecordingFiles(std::string path, const RecordKind& kind) : path_(std::move(path)), kind_(kind) {}

std::string RecordingFiles::SplitName(int n) const {
    std::filesystem::path path(path_);
    std::filesystem::path name = path.stem();
    name += "_" + std::to_string(n);
    name += path.extension();
    return (path.parent_path() / name).string();
}

std::vector<RecordingFile> RecordingFiles::Scan(std::filesystem::file_time_type since) const {
    std::vector<RecordingFile> files;
    for (int n = 0;; ++n) {
        std::string path = n == 0 ? path_ : SplitName(n);
        std::error_code error;
        auto size = std::filesystem::file_size(path, error);
        if (error) break;
        auto written = std::filesystem::last_write_time(path, error);
        if (error || written < since) break;
        RecordingFile file;
        if (kind_.kind == 2) {
            file = InspectAvi(path);
        } else {
            file.path = path;
            file.bytes = static_cast<long long>(size);
            file.frames = file.bytes / kind_.frameBytes;
            file.finished = file.bytes % kind_.frameBytes == 0;
        }
        files.push_back(file);
    }
    return files;
}

RecordingFile RecordingFiles::InspectAvi(const std::string& path) {
    RecordingFile file;
    file.path = path;
    file.finished = false;
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    if (error) return file;
    file.bytes = static_cast<long long>(size);
    // While the file grows its header still says 0 frames: count the chunks.
    file.frames = file.bytes > kAviHeaderBytes ? (file.bytes - kAviHeaderBytes) / kAviChunkBytes : 0;
    std::ifstream in(path, std::ios::binary);
    std::array<unsigned char, kAviHeaderBytes> header{};
    if (!in.read(reinterpret_cast<char*>(header.data()), header.size())) return file;
    if (std::memcmp(header.data(), "RIFF", 4) != 0 || std::memcmp(header.data() + 8, "AVI ", 4) != 0) return file;
    const long long riffBytes = Le32(header.data() + 4);
    const long long frames = Le32(header.data() + 48);
    if (riffBytes != file.bytes - 8 || Le32(header.data() + 140) != frames) return file;
    const long long indexAt = kAviHeaderBytes + frames * kAviChunkBytes;
    std::array<unsigned char, 8> index{};
    in.seekg(indexAt);
    if (!in.read(reinterpret_cast<char*>(index.data()), index.size())) return file;
    if (std::memcmp(index.data(), "idx1", 4) != 0 || Le32(index.data() + 4) != frames * 16) return file;
    if (indexAt + 8 + frames * 16 != file.bytes) return file;
    file.frames = frames;
    file.finished = true;
    return file;
}

}  // namespace calidra::tool
