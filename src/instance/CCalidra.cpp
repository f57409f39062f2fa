// Construction, start-up, camera choice and names, closing and destruction.
#include "instance/CCalidra.h"

#include <cwchar>

#include "output/FileAccess.h"
#include "platform/Clock.h"
#include "platform/ModuleResources.h"
#include "platform/WindowMessages.h"
#include "resources/BuiltinTables.h"

namespace calidra {

namespace {

// A table whose resource is missing stays as constructed; its lookup then
// gives 0.0 for every level.
void LoadBuiltinTable(ThermoTable& table, std::uint32_t id) {
    FileAccess source;
    const std::uint8_t* block = source.Load(ResourceName(id), &ModuleResources::Library(), BuiltinTables::kType);
    if (block != nullptr) table.Load(block, static_cast<std::size_t>(source.Size()), 0);
}

}  // namespace

CCalidra::CCalidra() : rateStart_(Clock::TimeMs()) {}

CCalidra::~CCalidra() {
    // The thread must be gone before any member it reaches is destroyed.
    Close();
    std::lock_guard<std::mutex> guard(controlLock_);
    scratchImage_.Release();
    frameRing_.ReleaseImages();
    frameRing_.Resize(0);
}

int CCalidra::Init(HWND window) {
    frameRing_.Resize(ringLength_.load());
    clientWindow_.store(window);
    LoadBuiltinTable(thermoNormal_, BuiltinTables::kThermoNormalId);
    LoadBuiltinTable(thermoHigh_, BuiltinTables::kThermoHighId);
    thermoNormal_.BuildLookup();
    thermoHigh_.BuildLookup();
    return 1;
}

void CCalidra::SetError(int code) {
    {
        std::lock_guard<std::mutex> guard(errorsLock_);
        errors_.push_back(code);
    }
    HWND window = clientWindow_.load();
    if (window != nullptr) WindowMessages::Post(window, WM_CAMERA_ERROR, 0, code);
}

int CCalidra::GetLastError() {
    std::lock_guard<std::mutex> guard(errorsLock_);
    if (errors_.empty()) return 0;
    int code = errors_.back();
    errors_.pop_back();
    return code;
}

int CCalidra::SetWindowHandle(HWND window) {
    clientWindow_.store(window);
    return 1;
}

int CCalidra::SelectCamera(int number) {
    std::lock_guard<std::mutex> guard(controlLock_);
    // Setting a camera up rebuilds the frame buffers the stream thread is
    // filling: refused while previewing (also after the stream ended by itself,
    // until Close), the client closes first.
    if (state_ == AcquisitionState::kPreviewing) {
        SetError(ERR_CAMERA);
        return 0;
    }
    if (number >= 0 && number < device_.GetDeviceCount() && device_.IsDevicePresent(number) &&
        device_.SetupCamera(number) == COPVSdkLib::kOk)
        return 1;
    SetError(ERR_CAMERA);
    return 0;
}

int CCalidra::GetCameraName(int number, wchar_t* name, int nameSize) {
    if (nameSize < 17 || name == nullptr) {
        SetError(ERR_ARGUMENT);
        return 0;
    }
    if (number < 0 || number >= device_.GetDeviceCount()) {
        SetError(ERR_ARGUMENT);
        return 0;
    }
    if (!device_.IsDevicePresent(number)) return 0;
    std::swprintf(name, static_cast<std::size_t>(nameSize), L"%ls_%02d", kCameraBaseName, number + 1);
    return 1;
}

int CCalidra::Close() {
    std::lock_guard<std::mutex> guard(controlLock_);
    StopAcquisition();
    return 1;
}

}  // namespace calidra
