// Writes one uncompressed video stream into an AVI (RIFF) file: the headers when
// the file is opened, one "00db" chunk per frame, and the "idx1" index with the
// measured rate when it is finished.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "output/FileAccess.h"

namespace calidra {

// One "idx1" entry as it is written: chunk id, flags, offset from the "movi"
// type code, chunk data size.
struct AviIndexEntry {
    std::array<char, 4> chunkId{'0', '0', 'd', 'b'};
    std::uint32_t flags = 0x10;  // AVIIF_KEYFRAME
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

class AviWriter {
public:
    static constexpr std::uint32_t kNominalRate = 30;   // frames per second written at open
    static constexpr std::uint32_t kHeaderBytes = 232;  // file offset of the first frame chunk
    static constexpr std::uint32_t kMoviSizeOffset = 224;
    static constexpr std::uint32_t kMainHeaderSize = 56;
    static constexpr std::uint32_t kStreamHeaderSize = 64;
    static constexpr std::uint32_t kFormatSize = 40;

    AviWriter() = default;
    // A file still open is finished with the nominal rate, so that it keeps a
    // valid index.
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Closes any earlier file unfinished, then creates path (replacing a file of
    // that name) and writes the headers for frames of width x height pixels at
    // bitsPerPixel, nominally framesPerSecond (0 counts as kNominalRate).
    // false for a null path, a size that is not positive, a depth that is not 8,
    // 16, 24 or 32, a frame too large for a file below 4 GiB, or a failed create
    // or write (the writer is then closed).
    bool Open(const wchar_t* path, std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
              std::uint32_t framesPerSecond = kNominalRate);

    // Writes one chunk of FrameSize() bytes from pixels and counts the frame.
    // false (nothing counted) when no file is open, pixels is null, the frame
    // would take the finished file to 4 GiB or beyond, or the write fails.
    bool AppendFrame(const void* pixels);

    // Whether one more frame still leaves the finished file below 4 GiB.
    bool HasRoomForFrame() const { return IsOpen() && frameCount_ < MaxFrames(frameSize_); }
    // The most frames of frameSize bytes a finished file below 4 GiB can hold.
    static std::uint32_t MaxFrames(std::uint32_t frameSize);

    // Writes the index after the last chunk, patches sizes, frame counts and the
    // rate, and closes the file. framesPer100Seconds is the measured rate
    // (frames per second x 100); 0 stands for "not measurable" and writes the
    // nominal rate instead. true when every write succeeded. When the medium
    // is full, whatever a failed chunk left behind is cut off, and should the
    // index still find no room the newest frames are given up until it fits:
    // the file keeps a valid index either way.
    bool Finish(std::uint32_t framesPer100Seconds);

    // Closes the file without finishing it and resets every count.
    void Close();

    bool IsOpen() const { return file_.IsOpen(); }
    // A write of the open file failed (a full disk, a file-size limit).
    bool WriteFailed() const { return failed_; }
    std::uint32_t RiffBytes() const { return riffBytes_; }
    std::uint32_t MoviBytes() const { return moviBytes_; }
    std::uint32_t FrameCount() const { return frameCount_; }
    // Bytes of one frame chunk's data: whole DIB rows (each a multiple of 4
    // bytes) times the height.
    std::uint32_t FrameSize() const { return frameSize_; }

private:
    void FillHeaders();
    // The "idx1" chunk of the frames counted so far, at the end of the last one.
    bool WriteIndex();
    bool WriteAt(std::uint64_t offset, std::uint32_t value);

    FileAccess file_;
    std::array<std::uint8_t, kMainHeaderSize> mainHeader_{};
    std::array<std::uint8_t, kStreamHeaderSize> streamHeader_{};
    std::array<std::uint8_t, kFormatSize> format_{};
    std::uint32_t riffBytes_ = 0;
    std::uint32_t moviBytes_ = 0;
    std::int32_t moviSizeOffset_ = 0;
    std::vector<AviIndexEntry> index_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::uint16_t bitsPerPixel_ = 0;
    std::uint32_t rate_ = 0;
    std::uint32_t frameCount_ = 0;
    std::uint32_t frameSize_ = 0;
    bool failed_ = false;  // a write of the open file failed
};

}  // namespace calidra
