#include "AviRepair.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <vector>

#include "ReplacementFile.h"

namespace calidra::tool {

namespace {

// The recorder's layout: 232 bytes of headers, then the "movi" list of frame
// chunks, then "idx1" with one 16-byte entry per chunk.
constexpr std::uint32_t kHeaderBytes = 232;
constexpr std::uint32_t kChunkHeadBytes = 8;
constexpr std::uint32_t kIndexEntryBytes = 16;
constexpr std::uint32_t kKeyFrame = 0x10;
constexpr std::size_t kRiffSize = 4;
constexpr std::size_t kMicrosecondsPerFrame = 32;
constexpr std::size_t kTotalFrames = 48;
constexpr std::size_t kSuggestedBuffer = 60;
constexpr std::size_t kStreamScale = 128;
constexpr std::size_t kStreamLength = 140;
constexpr std::size_t kMoviSize = 224;
// Above this many frames per 100 s the header's frame times would round to 0.
constexpr std::uint32_t kMaxRate = 100000000;

using Header = std::array<unsigned char, kHeaderBytes>;

std::uint32_t Le32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

void PutLe32(unsigned char* bytes, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes[k] = static_cast<unsigned char>(value >> (8 * k));
}

bool Is(const unsigned char* bytes, const char* code) { return std::memcmp(bytes, code, 4) == 0; }

// The lists and chunks of the recorder's headers, each where it writes them.
bool RecorderHeader(const Header& h) {
    const unsigned char* p = h.data();
    return Is(p, "RIFF") && Is(p + 8, "AVI ") && Is(p + 12, "LIST") && Le32(p + 16) == 200 && Is(p + 20, "hdrl") &&
           Is(p + 24, "avih") && Le32(p + 28) == 56 && Is(p + 88, "LIST") && Le32(p + 92) == 124 &&
           Is(p + 96, "strl") && Is(p + 100, "strh") && Le32(p + 104) == 64 && Is(p + 108, "vids") &&
           Is(p + 172, "strf") && Le32(p + 176) == 40 && Is(p + 220, "LIST") && Is(p + 228, "movi");
}

// Pixel bytes of one frame as the bitmap header gives them (whole rows of a
// multiple of 4 bytes), when they agree with the suggested buffer size; else 0.
std::uint32_t FrameBytes(const Header& h) {
    const std::uint32_t width = Le32(h.data() + 184);
    const std::uint32_t height = Le32(h.data() + 188);
    const std::uint32_t bits = std::uint32_t(h[194]) | std::uint32_t(h[195]) << 8;
    if (width == 0 || height == 0 || (bits != 8 && bits != 16 && bits != 24 && bits != 32)) return 0;
    const std::uint64_t row = (std::uint64_t{width} * (bits / 8) + 3) & ~std::uint64_t{3};
    const std::uint64_t frame = row * height;
    if (frame + kChunkHeadBytes != Le32(h.data() + kSuggestedBuffer)) return 0;
    return static_cast<std::uint32_t>(frame);
}

bool ReadAt(std::ifstream& in, std::uint64_t offset, unsigned char* bytes, std::size_t count) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count)));
}

// The "idx1" chunk of frames chunks of frameBytes each.
std::vector<unsigned char> Index(std::uint32_t frames, std::uint32_t frameBytes) {
    std::vector<unsigned char> index(8 + std::size_t{frames} * kIndexEntryBytes);
    std::memcpy(index.data(), "idx1", 4);
    PutLe32(index.data() + 4, frames * kIndexEntryBytes);
    for (std::uint32_t k = 0; k < frames; ++k) {
        unsigned char* entry = index.data() + 8 + std::size_t{k} * kIndexEntryBytes;
        std::memcpy(entry, "00db", 4);
        PutLe32(entry + 4, kKeyFrame);
        // From the "movi" type code: 4 for the first chunk.
        PutLe32(entry + 8, 4 + k * (kChunkHeadBytes + frameBytes));
        PutLe32(entry + 12, frameBytes);
    }
    return index;
}

}  // namespace

bool AviRepair::Inspect(const std::string& path, AviContents& contents, std::string* error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    contents = AviContents{};
    contents.bytes = static_cast<std::uint64_t>(in.tellg());
    Header header{};
    if (!ReadAt(in, 0, header.data(), header.size()) || !RecorderHeader(header) || FrameBytes(header) == 0) {
        *error = path + " does not start with the headers of an AVI recording of this SDK; nothing can be repaired";
        return false;
    }
    contents.frameBytes = FrameBytes(header);
    const std::uint64_t chunk = kChunkHeadBytes + std::uint64_t{contents.frameBytes};

    std::uint64_t at = kHeaderBytes;
    unsigned char head[kChunkHeadBytes];
    while (at + chunk <= contents.bytes && ReadAt(in, at, head, sizeof head) && Is(head, "00db") &&
           Le32(head + 4) == contents.frameBytes) {
        ++contents.frames;
        at += chunk;
    }

    const std::uint32_t frames = contents.frames;
    const std::vector<unsigned char> index = Index(frames, contents.frameBytes);
    std::vector<unsigned char> written(index.size());
    contents.finished = at + index.size() == contents.bytes && Le32(header.data() + kRiffSize) == contents.bytes - 8 &&
                        Le32(header.data() + kTotalFrames) == frames && Le32(header.data() + kStreamLength) == frames &&
                        Le32(header.data() + kMoviSize) == at - kMoviSize - 4 &&
                        ReadAt(in, at, written.data(), written.size()) && written == index;
    return true;
}

std::uint32_t AviRepair::MeasuredRate(const std::string& path, std::uint32_t frames) {
    struct statx status {};
    if (frames < kMeasuredFrames || ::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &status) != 0)
        return 0;
    if ((status.stx_mask & STATX_BTIME) == 0 || (status.stx_mask & STATX_MTIME) == 0) return 0;
    auto milliseconds = [](const statx_timestamp& t) { return std::int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1000000; };
    const std::int64_t span = milliseconds(status.stx_mtime) - milliseconds(status.stx_btime);
    if (span <= 0) return 0;
    // The first frame is written as the file is made (a recording asked for
    // before the preview) or a frame period later (one asked for during it):
    // counting half a period for it leaves half a frame of error at most,
    // which from fewer frames than kMeasuredFrames would be too much.
    const std::uint64_t rate = (2 * std::uint64_t{frames} - 1) * 50000u / static_cast<std::uint64_t>(span);
    // Fewer than one frame in 100 seconds still plays, at the slowest rate the header holds.
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(rate, 1, kMaxRate));
}

bool AviRepair::Rebuild(const std::string& path, const AviContents& contents, std::uint32_t framesPer100Seconds,
                        std::string* error) {
    Header header{};
    // Closed again at once: the replacement makes sure nothing else has the file open.
    if (std::ifstream in(path, std::ios::binary); !ReadAt(in, 0, header.data(), header.size())) {
        *error = "cannot read " + path;
        return false;
    }
    const std::uint32_t rate = framesPer100Seconds == 0 ? kNominalRate : std::min(framesPer100Seconds, kMaxRate);
    const std::uint64_t movi = 4 + std::uint64_t{contents.frames} * (kChunkHeadBytes + contents.frameBytes);
    const std::vector<unsigned char> index = Index(contents.frames, contents.frameBytes);
    const std::uint64_t total = kMoviSize + 4 + movi + index.size();
    if (total - 8 > 0xFFFFFFFFu) {
        *error = path + " holds more than an AVI file can index";
        return false;
    }
    PutLe32(header.data() + kRiffSize, static_cast<std::uint32_t>(total - 8));
    PutLe32(header.data() + kMicrosecondsPerFrame, 100000000u / rate);
    PutLe32(header.data() + kTotalFrames, contents.frames);
    PutLe32(header.data() + kStreamScale, 1000000000u / rate);
    PutLe32(header.data() + kStreamLength, contents.frames);
    PutLe32(header.data() + kMoviSize, static_cast<std::uint32_t>(movi));

    ReplacementFile out(path);
    return out.Open(error) && out.Write(header.data(), header.size(), error) &&
           out.CopyFromTarget(kHeaderBytes, movi - 4, error) && out.Write(index.data(), index.size(), error) &&
           out.Commit(error);
}

}  // namespace calidra::tool
