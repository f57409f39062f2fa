// The device's level table entries and correction-data files.
#include <cstdint>
#include <vector>

#include "instance/CCalidra.h"
#include "output/CorrectionFile.h"

namespace calidra {

LevelColumns CCalidra::LevelTableColumns() {
    const LevelTable& levels = device_.Correction().Levels();
    return LevelColumns{levels.Count(), levels.Temperatures(), levels.Offsets()};
}

// The entries are taken under the device lock: a data-set load on another
// thread replaces the whole table.
int CCalidra::SetThermoTable(unsigned short index, double value) {
    std::lock_guard<std::mutex> device(device_.DeviceLock());
    return device_.Correction().Levels().SetTemperature(index, value) ? 1 : 0;
}

double CCalidra::GetThermoTable(unsigned short index, int* ok) {
    std::lock_guard<std::mutex> device(device_.DeviceLock());
    double value = 0.0;
    const bool found = device_.Correction().Levels().GetTemperature(index, value);
    if (ok != nullptr) *ok = found ? 1 : 0;
    return found ? value : 0.0;
}

int CCalidra::SetOffsetValue(unsigned short index, double value) {
    std::lock_guard<std::mutex> device(device_.DeviceLock());
    return device_.Correction().Levels().SetOffset(index, value) ? 1 : 0;
}

double CCalidra::GetOffsetValue(unsigned short index, int* ok) {
    std::lock_guard<std::mutex> device(device_.DeviceLock());
    double value = 0.0;
    const bool found = device_.Correction().Levels().GetOffset(index, value);
    if (ok != nullptr) *ok = found ? 1 : 0;
    return found ? value : 0.0;
}

// The lock is held only to copy the planes out or swap new ones in: a slow
// disk never holds up frame delivery or the calls that take the device lock.
int CCalidra::SaveNucData(const wchar_t* path, FILESAVETYPE type) {
    int result = 0;
    if (type == FILESAVETYPE_CORSET && path != nullptr) {
        std::vector<std::uint8_t> image;
        bool copied = false;
        {
            std::lock_guard<std::mutex> device(device_.DeviceLock());
            copied = CorrectionFileImage(device_.Correction().Planes(), image);
        }
        result = copied ? WriteCorrectionFile(image, path) : 0;
    }
    if (result == 0) SetError(ERR_FILE);
    return result;
}

int CCalidra::LoadNucData(const wchar_t* path, FILESAVETYPE type) {
    int result = 0;
    if (type == FILESAVETYPE_CORSET) {
        // Read and checked whole before the lock: a refused file changes nothing.
        std::vector<std::uint8_t> bytes;
        CorrectionPlanes fresh;
        result = ReadCorrectionFile(path, bytes) ? LoadCorrectionBytes(fresh, bytes.data(), bytes.size()) : 0;
        if (result == 1) {
            std::lock_guard<std::mutex> device(device_.DeviceLock());
            device_.Correction().Planes().SwapPlanes(fresh);
        }
    }
    if (result == 0) SetError(ERR_FILE);
    return result;
}

}  // namespace calidra
