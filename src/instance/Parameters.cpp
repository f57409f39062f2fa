// Numbered parameters, register pass-through, the internal temperature and the
// calibration requests.
#include <cwchar>

#include "instance/CCalidra.h"
#include "platform/Clock.h"

namespace calidra {

namespace {

constexpr int kRegTemperatureLow = 44;
constexpr int kRegTemperatureHigh = 45;

}  // namespace

float CCalidra::InternalTemperatureOf(int raw) {
    return static_cast<float>((2.1284 - raw * 3.3 * (1.0 / 4096.0)) / 0.00552);
}

bool CCalidra::ReadInternalRaw(int& raw) {
    int low = 0;
    int high = 0;
    if (!device_.ReadRegister(kRegTemperatureLow, &low) || !device_.ReadRegister(kRegTemperatureHigh, &high))
        return false;
    raw = ((high & 0xFF) << 8) | (low & 0xFF);
    return true;
}

float CCalidra::GetInternalTemperature(int* ok) {
    int raw = 0;
    // A reading that never arrived is a failure, not the 385.6 degrees a zero
    // reading would convert to.
    if (!ReadInternalRaw(raw)) {
        if (ok != nullptr) *ok = 0;
        SetError(ERR_DEVICE);
        return 0.0f;
    }
    if (ok != nullptr) *ok = 1;
    return InternalTemperatureOf(raw);
}

int CCalidra::GetParam(int id) {
    switch (id) {
        case 1:
            return kWidth;
        case 2:
            return kHeight;
        case 3:
            return frameRate_.load();
        case 4:
            return recordKind_.load();
        case 5:
            return stateShown_.load() == AcquisitionState::kPreviewing ? 1 : 0;
        case 6:
            return paused_.load();
        case 7:
            return recordStart_.load() != 0 ? 1 : 0;
        case 8:
            return ringLength_.load();
        case 9:
            return sleepMs_.load();
        case 10:
            return static_cast<int>(nucHoldOffMs_.load());
        case 11:
            return fileLimitMiB_.load();
        case 12:
            return range_.autoRange.load();
        case 13:
            return range_.rangeLow.load();
        case 14:
            return range_.rangeHigh.load();
        case 15:
            return autoNuc_.load();
        case 16:
            return tempRange_.load();
        case 17:
            return flipDisplay_.load();
        case 18:
            return flipFile_.load();
        default: {
            // A camera that cannot be opened leaves nothing to report: 0.
            int value = 0;
            if (!device_.ReadRegister(id, &value)) return 0;
            return value & 0xFF;
        }
    }
}

int CCalidra::SetParam(int id, int value) {
    switch (id) {
        case 8:
            // The ring is sized once at start-up; a ring without slots could not
            // hold a frame.
            if (!frameRing_.Empty() || value < 1) {
                SetError(ERR_ARGUMENT);
                return 0;
            }
            ringLength_.store(value);
            return 1;
        case 9:
            // A negative period would be a pause without end, and Close would wait for ever.
            if (value < 0) {
                SetError(ERR_ARGUMENT);
                return 0;
            }
            sleepMs_.store(value);
            return 1;
        case 10:
            nucHoldOffMs_.store(static_cast<std::uint32_t>(value));
            return 1;
        case 11:
            fileLimitMiB_.store(value);
            return 1;
        case 12:
            range_.autoRange.store(value);
            return 1;
        case 13:
            range_.rangeLow.store(value);
            return 1;
        case 14:
            range_.rangeHigh.store(value);
            return 1;
        case 15:
            return SetAutoNuc(value);
        case 16:
            return SetTemperatureRange(value);
        case 17:
            flipDisplay_.store(value);
            return 1;
        case 18:
            flipFile_.store(value);
            return 1;
        default:
            return device_.WriteRegister(id, value);
    }
}

int CCalidra::SetAutoNuc(int on) {
    autoNuc_.store(on != 0 ? 1 : 0);
    return 1;
}

int CCalidra::SetTemperatureRange(int) {
    SetError(ERR_UNSUPPORTED);
    return 0;
}

int CCalidra::SetCameraType(int) {
    SetError(ERR_UNSUPPORTED);
    return 0;
}

void CCalidra::StartCalibration() {
    const std::uint32_t now = Clock::TimeMs();
    nucStart_.store(now == 0 ? 1 : now);
    device_.RequestShutterNuc(kCalibrationFrames);
    // The next automatic check then sees a change and calibrates again.
    lastTempTenths_.store(0);
}

int CCalidra::Nuc() {
    StartCalibration();
    return 1;
}

int CCalidra::SetTable(const wchar_t* path) {
    if (path == nullptr || path[0] == L'\0' || !device_.LoadDataSet(path)) {
        SetError(ERR_FILE);
        return 0;
    }
    StartCalibration();
    return 1;
}

}  // namespace calidra
