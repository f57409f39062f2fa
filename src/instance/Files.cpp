// Still pictures, the recording wish, and correction-data files.
#include <vector>

#include "instance/CCalidra.h"
#include "output/CorrectionFile.h"
#include "output/StillPicture.h"

namespace calidra {

namespace {

constexpr unsigned kLastColourStillType = 6;
constexpr unsigned kFloatTemperatureStillType = 13;

}  // namespace

int CCalidra::Save(const wchar_t* path, int type) {
    const auto kind = static_cast<unsigned>(type);
    // The newest frame is copied under its slot's lock, so the loop cannot
    // overwrite it while a slow encoder reads it.
    DibImage image;
    bool framePresent = false;
    bool copied = false;
    if (FrameSlot* slot = frameRing_.Newest(); slot != nullptr) {
        std::lock_guard<std::mutex> content(slot->contentLock);
        framePresent = slot->raw.HasPixels() && slot->colour.HasPixels();
        if (framePresent && kind <= kLastStillType)
            copied = image.CopyFrom(kind <= kLastColourStillType ? &slot->colour : &slot->raw);
    }
    if (!framePresent) {
        SetError(ERR_NO_IMAGE);
        return 0;
    }
    if (kind > kLastStillType) {
        SetError(ERR_ARGUMENT);
        return 0;
    }
    StillFrame frame;
    frame.raw = &image;
    frame.colour = &image;
    frame.thermo = &ActiveThermoTable();
    std::vector<double> temperature, offset;
    if (kind == kFloatTemperatureStillType) {
        std::lock_guard<std::mutex> device(device_.DeviceLock());
        const LevelColumns columns = LevelTableColumns();
        temperature.assign(columns.temperature.begin(), columns.temperature.end());
        offset.assign(columns.offset.begin(), columns.offset.end());
        frame.levels = LevelColumns{columns.count, temperature, offset};
    }
    if (!copied || SaveStillPicture(path, kind, frame, flipFile_.load() != 0) == 0) {
        SetError(ERR_FILE);
        return 0;
    }
    return 1;
}

int CCalidra::Record(const wchar_t* path, int kind) {
    // The name is kept whole, whatever its length, so it is never cut to another
    // file's name; one the file system cannot take fails at the open with
    // ERR_FILE, as every unusable name does. No name is an empty one, which no
    // recording file can be opened under.
    std::lock_guard<std::mutex> guard(recordLock_);
    recordPath_.assign(path != nullptr ? path : L"");
    recordKind_.store(kind);
    return 1;
}

int CCalidra::RecordingWish(std::wstring& path) {
    std::lock_guard<std::mutex> guard(recordLock_);
    path = recordPath_;
    return recordKind_.load();
}

RecordingFrame CCalidra::NewestRecordingFrame() {
    // Only the loop writes the slots, and this runs in the loop: no content lock.
    RecordingFrame frame;
    if (FrameSlot* slot = frameRing_.Newest(); slot != nullptr) {
        frame.raw = &slot->raw;
        frame.colour = &slot->colour;
    }
    frame.thermo = &ActiveThermoTable();
    frame.flip = flipFile_.load() != 0;
    return frame;
}

}  // namespace calidra
