#include "instance/CCalidra.h"

#include "platform/MessageWindowTable.h"

namespace calidra {

CCalidra::CCalidra() = default;

CCalidra::~CCalidra() { Close(); }

int CCalidra::Init(HWND window) {
    clientWindow_.store(window);
    return 1;
}

void CCalidra::SetError(int code) {
    {
        std::lock_guard<std::mutex> guard(errorsLock_);
        errors_.push_back(code);
    }
    HWND window = clientWindow_.load();
    if (window != nullptr) MessageWindowTable::Instance().Post(window, WM_CAMERA_ERROR, 0, code);
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

int CCalidra::SelectCamera(int) {
    SetError(ERR_CAMERA);
    return 0;
}

int CCalidra::GetCameraName(int, wchar_t*, int) { return 0; }
int CCalidra::Close() { return 1; }
int CCalidra::StartPreview() { return 0; }
int CCalidra::Start() { return 0; }
int CCalidra::Pause() { return 0; }
std::uint32_t CCalidra::OneShot() { return 0; }
std::uint32_t CCalidra::Trigger() { return 0; }
int CCalidra::Save(const wchar_t*, int) { return 0; }
int CCalidra::Record(const wchar_t*, int) { return 0; }
std::uint32_t CCalidra::GetNewId() { return 0; }
int CCalidra::GetRaw(std::uint32_t, unsigned short*, std::uint32_t) { return 0; }
int CCalidra::GetTemperature(std::uint32_t, float*, std::uint32_t) { return 0; }
int CCalidra::GetColor(std::uint32_t, unsigned char*, std::uint32_t) { return 0; }
int CCalidra::Nuc() { return 0; }
int CCalidra::SetOffsetValue(unsigned short, double) { return 0; }
double CCalidra::GetOffsetValue(unsigned short, int*) { return 0.0; }
int CCalidra::SetThermoTable(unsigned short, double) { return 0; }
double CCalidra::GetThermoTable(unsigned short, int*) { return 0.0; }
int CCalidra::SaveNucData(const wchar_t*, FILESAVETYPE) { return 0; }
int CCalidra::LoadNucData(const wchar_t*, FILESAVETYPE) { return 0; }

int CCalidra::SetCameraType(int) {
    SetError(ERR_UNSUPPORTED);
    return 0;
}

int CCalidra::GetParam(int) { return 0; }
int CCalidra::SetParam(int, int) { return 0; }
int CCalidra::SetTable(const wchar_t*) { return 0; }
float CCalidra::GetInternalTemperature(int*) { return 0.0f; }

}  // namespace calidra
