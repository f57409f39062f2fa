// Still pictures, the recording wish, and correction-data files.
#include <vector>

#include "instance/CCalidra.h"
#include "output/CorrectionFile.h"
#include "output/StillPicture.h"

namespace calidra {

namespace {

constexpr unsigned kFloatTemperatureStillType = 13;

}  // namespace

int CCalidra::Save(const wchar_t* path, int type) {
    const auto kind = static_cast<unsigned>(type);
    // What the file needs is taken from the newest frame under its slot's lock,
    // so the loop cannot overwrite the frame meanwhile; the file is written after,
    // so a slow encoder or disk never holds the loop up.
    std::lock_guard<std::mutex> save(saveLock_);
    bool framePresent = false;
    bool taken = false;
    if (FrameSlot* slot = frameRing_.Newest(); slot != nullptr) {
        std::lock_guard<std::mutex> content(slot->contentLock);
        framePresent = slot->raw.HasPixels() && slot->colour.HasPixels();
        if (framePresent && kind <= kLastStillType) {
            StillFrame frame;
            frame.raw = &slot->raw;
            frame.colour = &slot->colour;
            frame.thermo = &ActiveThermoTable();
            const bool flip = flipFile_.load() != 0;
            if (kind == kFloatTemperatureStillType) {
                // A data-set load on another thread replaces the level table.
                std::lock_guard<std::mutex> device(device_.DeviceLock());
                frame.levels = LevelTableColumns();
                taken = stillWriter_.Take(kind, frame, flip);
            } else {
                taken = stillWriter_.Take(kind, frame, flip);
            }
        }
    }
    if (!framePresent) {
        SetError(ERR_NO_IMAGE);
        return 0;
    }
    if (kind > kLastStillType) {
        SetError(ERR_ARGUMENT);
        return 0;
    }
    if (!taken || stillWriter_.Write(path) == 0) {
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
