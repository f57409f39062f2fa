#include "output/Recorder.h"

#include <cstring>
#include <limits>
#include <new>

#include "output/RecordingName.h"
#include "pipeline/DibImage.h"

namespace calidra {

namespace {

std::wstring PathText(const wchar_t* path) { return path == nullptr ? std::wstring() : std::wstring(path); }

}  // namespace

Recorder::Recorder(ClockFunction clock) : clock_(clock != nullptr ? clock : &Clock::TimeMs) {}

Recorder::~Recorder() { Stop(); }

bool Recorder::Start(int recordKind, const wchar_t* recordPath, const RecordingFrame& frame) {
    openKind_ = recordKind;
    openedName_ = PathText(recordPath);
    splitCount_ = 0;
    refused_ = false;
    if (recordKind == kNone) return true;
    refused_ = OpenRecording(recordKind, openedName_.c_str(), frame) == 0;
    return !refused_;
}

bool Recorder::AfterFrame(int recordKind, const wchar_t* recordPath, std::int32_t fileLimitMiB,
                          const RecordingFrame& frame) {
    if (openKind_ != kNone) {
        if (openKind_ == recordKind && openedName_ == PathText(recordPath)) {
            if (refused_) return true;
            if (!AppendRecordingFrame(openKind_, frame)) {
                // Finished now, so the frames already written stay readable
                // whatever happens to the process later.
                CloseRecording(openKind_);
                refused_ = true;
                return false;
            }
            if (!LimitReached(fileLimitMiB)) return true;
            CloseRecording(openKind_);
            ++splitCount_;
        } else {
            CloseRecording(openKind_);
            splitCount_ = 0;
        }
        openKind_ = kNone;
    }
    return OpenNext(recordKind, recordPath, frame);
}

void Recorder::Stop() {
    if (openKind_ != kNone) CloseRecording(openKind_);
    openKind_ = kNone;
}

bool Recorder::OpenNext(int recordKind, const wchar_t* recordPath, const RecordingFrame& frame) {
    if (recordKind == kNone) return true;
    openKind_ = recordKind;
    openedName_ = PathText(recordPath);
    const std::wstring name = RecordingFileName(openedName_, splitCount_);
    refused_ = OpenRecording(recordKind, name.c_str(), frame) == 0;
    return !refused_;
}

bool Recorder::LimitReached(std::int32_t fileLimitMiB) const {
    if ((RiffBytes() >> 20) >= static_cast<std::uint32_t>(fileLimitMiB)) return true;
    // Whatever the limit says, an AVI ends before its 32-bit sizes overflow.
    return openKind_ == kAvi && avi_.IsOpen() && !avi_.HasRoomForFrame();
}

int Recorder::OpenRecording(int kind, const wchar_t* name, const RecordingFrame& frame) {
    bool opened = false;
    if (kind == kRawStream) {
        opened = stream_.Open(name, FrameStreamWriter::Content::kRawLevels);
    } else if (kind == kAvi) {
        const DibImage* colour = frame.colour;
        opened = colour != nullptr && colour->HasPixels() &&
                 avi_.Open(name, colour->Width(), colour->Height(), colour->BitCount(), AviWriter::kNominalRate);
    } else if (kind == kTemperatureStream) {
        const DibImage* raw = frame.raw;
        opened = raw != nullptr && raw->HasPixels() &&
                 stream_.Open(name, FrameStreamWriter::Content::kTemperatures, raw->Width(), raw->Height());
    }
    if (!opened) return 0;
    recordStart_ = clock_();
    fileOpen_ = true;
    return 1;
}

bool Recorder::AppendRecordingFrame(int kind, const RecordingFrame& frame) {
    if (kind == kRawStream || kind == kTemperatureStream) {
        if (stream_.IsOpen()) stream_.Append(frame.raw, frame.thermo, frame.flip);
        return !stream_.WriteFailed();
    }
    if (kind != kAvi || !avi_.IsOpen()) return true;
    const DibImage* colour = frame.colour;
    if (colour == nullptr || !colour->HasPixels() || colour->ImageSize() != avi_.FrameSize()) return true;
    if (!frame.flip) return avi_.AppendFrame(colour->Bits()) || !avi_.WriteFailed();
    try {
        flipped_.resize(colour->ImageSize());
    } catch (const std::bad_alloc&) {
        return true;
    }
    const auto stride = static_cast<std::size_t>(colour->Stride());
    const std::int32_t height = colour->Height();
    for (std::int32_t k = 0; k < height; ++k) {
        std::memcpy(flipped_.data() + stride * static_cast<std::size_t>(k), colour->Row(height - 1 - k), stride);
    }
    return avi_.AppendFrame(flipped_.data()) || !avi_.WriteFailed();
}

std::uint32_t Recorder::MeasuredRate() const {
    const std::uint64_t frames = avi_.FrameCount();
    const std::uint32_t elapsed = clock_() - recordStart_;
    // No frame, or none of a millisecond measured: the writer keeps the nominal rate.
    if (frames == 0 || elapsed == 0) return 0;
    const std::uint64_t rate = frames * 100000u / elapsed;
    // Fewer than one frame in 100 seconds still plays, at the slowest rate the header holds.
    if (rate == 0) return 1;
    return rate > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                            : static_cast<std::uint32_t>(rate);
}

int Recorder::CloseRecording(int kind) {
    if (kind == kRawStream || kind == kTemperatureStream) {
        stream_.Close();
    } else if (kind == kAvi) {
        if (avi_.IsOpen()) avi_.Finish(MeasuredRate());
        std::vector<std::uint8_t>().swap(flipped_);
    } else {
        return 0;
    }
    recordStart_ = 0;
    fileOpen_ = false;
    return 1;
}

}  // namespace calidra
