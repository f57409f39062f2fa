// The device's level table entries and correction-data files.
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

int CCalidra::SaveNucData(const wchar_t* path, FILESAVETYPE type) {
    int result = 0;
    {
        std::lock_guard<std::mutex> device(device_.DeviceLock());
        if (type == FILESAVETYPE_CORSET) result = SaveCorrectionFile(device_.Correction().Planes(), path);
    }
    if (result == 0) SetError(ERR_FILE);
    return result;
}

int CCalidra::LoadNucData(const wchar_t* path, FILESAVETYPE type) {
    int result = 0;
    {
        std::lock_guard<std::mutex> device(device_.DeviceLock());
        if (type == FILESAVETYPE_CORSET) result = LoadCorrectionFile(device_.Correction().Planes(), path);
    }
    if (result == 0) SetError(ERR_FILE);
    return result;
}

}  // namespace calidra
