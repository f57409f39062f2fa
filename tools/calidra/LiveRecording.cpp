#include "LiveRecording.h"

#include "ErrorCodes.h"
#include "RecordingFiles.h"

namespace calidra::tool {

namespace {

constexpr std::chrono::seconds kFrameWait(5);

}  // namespace

bool LiveRecording::WaitTwoFrames() { return hub_.WaitCount(hub_.Current().count + 2, kFrameWait); }

bool LiveRecording::LibraryRecording() {
    return camera_.Call([](Camera& camera) { return Calidra_GetParam(camera.Handle(), CALIDRA_PARAM_RECORDING); }) != 0;
}

LiveRecording::Result LiveRecording::Start(const RecordKind& kind, std::string* error) {
    std::lock_guard<std::mutex> guard(lock_);
    if (active_) {
        *error = "a recording is running already (" + file_ + ")";
        return Result::kConflict;
    }
    file_ = files_.NewRecording(kind);
    kind_ = &kind;
    error_.clear();
    const std::string path = files_.PathOf(file_).string();
    camera_.Call([&](Camera& camera) { return Calidra_RecA(camera.Handle(), path.c_str(), kind.kind); });
    started_ = std::chrono::steady_clock::now();
    active_ = true;
    // Without frames (a calibration, a stopped stream) the file opens at the
    // next stored one, and whether it can be is not known yet.
    if (WaitTwoFrames() && !LibraryRecording()) {
        camera_.Call([](Camera& camera) { return Calidra_RecA(camera.Handle(), "", CALIDRA_RECORD_NONE); });
        active_ = false;
        stopped_ = std::chrono::steady_clock::now();
        error_ = *error = "the recording file " + file_ + " could not be opened: " + ErrorCodes::Describe(ERR_FILE);
        return Result::kFailed;
    }
    return Result::kDone;
}

LiveRecording::Result LiveRecording::Stop(std::string* error) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!active_) {
        *error = "no recording is running";
        return Result::kConflict;
    }
    camera_.Call([](Camera& camera) { return Calidra_RecA(camera.Handle(), "", CALIDRA_RECORD_NONE); });
    WaitTwoFrames();
    active_ = false;
    stopped_ = std::chrono::steady_clock::now();
    return Result::kDone;
}

void LiveRecording::Abandon() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!active_) return;
    camera_.Call([](Camera& camera) { return Calidra_RecA(camera.Handle(), "", CALIDRA_RECORD_NONE); });
    active_ = false;
    stopped_ = std::chrono::steady_clock::now();
}

LiveRecording::State LiveRecording::Current() {
    std::lock_guard<std::mutex> guard(lock_);
    State state;
    if (kind_ == nullptr) return state;
    state.active = active_;
    state.kind = kind_->name;
    state.file = file_;
    state.error = error_;
    const auto end = active_ ? std::chrono::steady_clock::now() : stopped_;
    state.seconds = std::chrono::duration<double>(end - started_).count();
    RecordingFiles recording(files_.PathOf(file_).string(), *kind_);
    for (const RecordingFile& file : recording.Scan(std::filesystem::file_time_type::min())) {
        state.frames += file.frames;
        state.bytes += file.bytes;
    }
    return state;
}

}  // namespace calidra::tool
