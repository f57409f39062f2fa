#include "output/AviWriter.h"

#include <cstring>

#include "platform/LittleEndian.h"

namespace calidra {

namespace {

constexpr std::uint32_t kIndexEntryBytes = 16;
// RIFF sizes are 32 bits wide: the whole file must stay below 4 GiB.
constexpr std::uint64_t kMaxFileBytes = 0xFFFFFFFFull;
constexpr std::uint32_t kStreamRate = 10000000;
// The finished rate is in frames per 100 seconds; above this the scale and the
// microseconds per frame would round to 0.
constexpr std::uint32_t kMaxRatePer100s = 100000000;

void PutFourCc(std::uint8_t* out, const char* code) { std::memcpy(out, code, 4); }

// Bytes of the finished file holding `frames` chunks of `chunkBytes` each
// (chunk header included).
std::uint64_t FinishedFileBytes(std::uint64_t frames, std::uint64_t chunkBytes) {
    return AviWriter::kHeaderBytes + frames * chunkBytes + 8 + frames * kIndexEntryBytes;
}

}  // namespace

AviWriter::~AviWriter() {
    if (IsOpen()) Finish(0);
}

void AviWriter::Close() {
    file_.Close();
    index_.clear();
    index_.shrink_to_fit();
    mainHeader_.fill(0);
    streamHeader_.fill(0);
    format_.fill(0);
    riffBytes_ = 0;
    moviBytes_ = 0;
    moviSizeOffset_ = 0;
    frameCount_ = 0;
    failed_ = false;
}

void AviWriter::FillHeaders() {
    const std::uint32_t suggested = frameSize_ + 8;
    std::uint8_t* m = mainHeader_.data();
    PutLE32(m + 0, 1000000u / rate_);
    // Nothing reads the data rate; the chunk bytes per second at the nominal
    // rate is what a player would expect to find there.
    PutLE32(m + 4, suggested * rate_);
    PutLE32(m + 8, 0);
    PutLE32(m + 12, 0x10010);  // AVIF_HASINDEX | AVIF_WASCAPTUREFILE
    PutLE32(m + 16, frameCount_);
    PutLE32(m + 20, 0);
    PutLE32(m + 24, 1);
    PutLE32(m + 28, suggested);
    PutLE32(m + 32, static_cast<std::uint32_t>(width_));
    PutLE32(m + 36, static_cast<std::uint32_t>(height_));

    std::uint8_t* s = streamHeader_.data();
    PutFourCc(s + 0, "vids");
    PutFourCc(s + 4, "DIB ");
    PutLE32(s + 20, kStreamRate / rate_);
    PutLE32(s + 24, kStreamRate);
    PutLE32(s + 32, frameCount_);
    PutLE32(s + 36, suggested);

    std::uint8_t* f = format_.data();
    PutLE32(f + 0, kFormatSize);
    PutLE32(f + 4, static_cast<std::uint32_t>(width_));
    PutLE32(f + 8, static_cast<std::uint32_t>(height_));  // positive: rows bottom-up
    PutLE16(f + 12, 1);
    PutLE16(f + 14, bitsPerPixel_);
}

bool AviWriter::Open(const wchar_t* path, std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
                     std::uint32_t framesPerSecond) {
    Close();
    if (path == nullptr || width <= 0 || height <= 0) return false;
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * (bitsPerPixel / 8) + 3) & ~std::uint64_t{3};
    const std::uint64_t frameBytes = rowBytes * static_cast<std::uint64_t>(height);
    if (frameBytes > 0xFFFFFFFFull || MaxFrames(static_cast<std::uint32_t>(frameBytes)) == 0) return false;
    if (!file_.OpenForWrite(path)) return false;

    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    rate_ = framesPerSecond == 0 ? kNominalRate : framesPerSecond;
    frameSize_ = static_cast<std::uint32_t>(frameBytes);
    frameCount_ = 0;
    FillHeaders();

    std::array<std::uint8_t, kHeaderBytes> head{};
    std::uint8_t* h = head.data();
    PutFourCc(h + 0, "RIFF");
    PutLE32(h + 4, 0);
    PutFourCc(h + 8, "AVI ");
    PutFourCc(h + 12, "LIST");
    PutLE32(h + 16, 200);
    PutFourCc(h + 20, "hdrl");
    PutFourCc(h + 24, "avih");
    PutLE32(h + 28, kMainHeaderSize);
    std::memcpy(h + 32, mainHeader_.data(), kMainHeaderSize);
    PutFourCc(h + 88, "LIST");
    PutLE32(h + 92, 124);
    PutFourCc(h + 96, "strl");
    PutFourCc(h + 100, "strh");
    PutLE32(h + 104, kStreamHeaderSize);
    std::memcpy(h + 108, streamHeader_.data(), kStreamHeaderSize);
    PutFourCc(h + 172, "strf");
    PutLE32(h + 176, kFormatSize);
    std::memcpy(h + 180, format_.data(), kFormatSize);
    PutFourCc(h + 220, "LIST");
    PutLE32(h + kMoviSizeOffset, 0);
    PutFourCc(h + 228, "movi");
    if (!file_.Write(head.data(), head.size())) {
        Close();
        return false;
    }
    moviSizeOffset_ = static_cast<std::int32_t>(kMoviSizeOffset);
    riffBytes_ = kHeaderBytes - 8;
    moviBytes_ = 4;
    return true;
}

std::uint32_t AviWriter::MaxFrames(std::uint32_t frameSize) {
    const std::uint64_t perFrame = std::uint64_t{frameSize} + 8 + kIndexEntryBytes;
    return static_cast<std::uint32_t>((kMaxFileBytes - FinishedFileBytes(0, 0)) / perFrame);
}

bool AviWriter::AppendFrame(const void* pixels) {
    if (pixels == nullptr || !HasRoomForFrame()) return false;
    std::uint8_t chunkHead[8];
    PutFourCc(chunkHead, "00db");
    PutLE32(chunkHead + 4, frameSize_);
    if (!file_.Write(chunkHead, sizeof chunkHead) || !file_.Write(pixels, frameSize_)) {
        // A partial chunk cannot be taken back; the index ends before it, and
        // the next chunk is written where the failed one began.
        failed_ = true;
        file_.Seek(std::uint64_t{riffBytes_} + 8);
        return false;
    }
    AviIndexEntry entry;
    entry.offset = moviBytes_;
    entry.size = frameSize_;
    index_.push_back(entry);
    riffBytes_ += 8 + frameSize_;
    moviBytes_ += 8 + frameSize_;
    ++frameCount_;
    return true;
}

bool AviWriter::WriteAt(std::uint64_t offset, std::uint32_t value) {
    std::uint8_t bytes[4];
    PutLE32(bytes, value);
    return file_.Seek(offset) && file_.Write(bytes, sizeof bytes);
}

bool AviWriter::WriteIndex() {
    std::vector<std::uint8_t> tail(8 + index_.size() * kIndexEntryBytes);
    PutFourCc(tail.data(), "idx1");
    PutLE32(tail.data() + 4, static_cast<std::uint32_t>(index_.size() * kIndexEntryBytes));
    std::uint8_t* out = tail.data() + 8;
    for (const AviIndexEntry& entry : index_) {
        std::memcpy(out, entry.chunkId.data(), 4);
        PutLE32(out + 4, entry.flags);
        PutLE32(out + 8, entry.offset);
        PutLE32(out + 12, entry.size);
        out += kIndexEntryBytes;
    }
    if (!file_.Seek(std::uint64_t{riffBytes_} + 8) || !file_.Write(tail.data(), tail.size())) return false;
    riffBytes_ += static_cast<std::uint32_t>(tail.size());
    return true;
}

bool AviWriter::Finish(std::uint32_t framesPer100Seconds) {
    if (!IsOpen()) return false;
    std::uint32_t rate = framesPer100Seconds == 0 ? kNominalRate * 100 : framesPer100Seconds;
    if (rate > kMaxRatePer100s) rate = kMaxRatePer100s;

    bool ok = !failed_;
    // A full medium may have no room left for the index. An AVI without one
    // does not play, so the newest frames make room for it, one at a time.
    bool indexed = WriteIndex();
    while (!indexed && !index_.empty()) {
        ok = false;
        index_.pop_back();
        --frameCount_;
        riffBytes_ -= 8 + frameSize_;
        moviBytes_ -= 8 + frameSize_;
        file_.Truncate(std::uint64_t{riffBytes_} + 8);
        indexed = WriteIndex();
    }
    ok = indexed && ok;
    // A chunk that failed half-way left bytes beyond the index.
    if (indexed) ok = file_.Truncate(std::uint64_t{riffBytes_} + 8) && ok;

    ok = WriteAt(4, riffBytes_) && ok;
    ok = WriteAt(static_cast<std::uint64_t>(moviSizeOffset_), moviBytes_) && ok;
    ok = WriteAt(48, frameCount_) && ok;
    ok = WriteAt(140, frameCount_) && ok;
    ok = WriteAt(32, 100000000u / rate) && ok;
    ok = WriteAt(128, 1000000000u / rate) && ok;
    Close();
    return ok;
}

}  // namespace calidra
