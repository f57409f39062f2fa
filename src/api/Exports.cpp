// The exported functions: each finds its instance and forwards in one line.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "api/AnsiToWide.h"
#include "api/InstanceRegistry.h"
#include "calidra.h"
#include "instance/CCalidra.h"
#include "platform/CBoundary.h"
#include "platform/TextConversion.h"

using calidra::AnsiToWide;
using calidra::CCalidra;
using calidra::InstanceRegistry;

namespace {

constexpr unsigned long kDllVersion = 0x0014044D;

template <typename Result, typename Call>
Result Forward(unsigned long handle, Result failure, Call&& call) {
    return calidra::CatchAll(failure, [&] { return InstanceRegistry::Global().With(handle, failure, call); });
}

// Sizes and ids keep their 32-bit values; a larger size only means a larger buffer.
std::uint32_t Size32(unsigned long size) {
    return size > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<std::uint32_t>(size);
}
// No frame id is wider than 32 bits: a wider one is no frame (0).
std::uint32_t Id32(unsigned long id) { return id > 0xFFFFFFFFul ? 0u : static_cast<std::uint32_t>(id); }

// Camera names are a dozen characters: the wide copy of the A form never needs
// more than this, however large the client says its buffer is.
constexpr int kWideNameCharacters = 64;

}  // namespace

extern "C" {

CALIDRA_API unsigned long Calidra_Initialize(HWND window) {
    // An instance that cannot be built (no memory for it or its parts) is no
    // instance: 0, and nothing is registered.
    try {
        std::unique_ptr<CCalidra> instance(new (std::nothrow) CCalidra());
        if (instance == nullptr) return 0;
        instance->Init(window);
        return InstanceRegistry::Global().Register(std::move(instance));
    } catch (...) {
        return 0;
    }
}

CALIDRA_API int Calidra_Release(unsigned long handle) { return InstanceRegistry::Global().Release(handle); }

CALIDRA_API int Calidra_SetWindowHandle(unsigned long handle, HWND window) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SetWindowHandle(window); });
}

CALIDRA_API int Calidra_SetCameraNumber(unsigned long handle, int number) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SelectCamera(number); });
}

CALIDRA_API int Calidra_IsCameraEnableW(unsigned long handle, int number, wchar_t* name, int nameSize) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.GetCameraName(number, name, nameSize); });
}

CALIDRA_API int Calidra_IsCameraEnableA(unsigned long handle, int number, char* name, int nameSize) {
    return Forward(handle, 0, [&](CCalidra& c) {
        if (name == nullptr || nameSize <= 0) return c.GetCameraName(number, nullptr, nameSize);
        const int wideSize = std::min(nameSize, kWideNameCharacters);
        auto wide = std::make_unique<wchar_t[]>(static_cast<std::size_t>(wideSize));
        int result = c.GetCameraName(number, wide.get(), wideSize);
        if (result) calidra::TextConversion::NarrowInto(wide.get(), name, static_cast<std::size_t>(nameSize));
        return result;
    });
}

CALIDRA_API int Calidra_Preview(unsigned long handle) {
    return Forward(handle, 0, [](CCalidra& c) { return c.Preview(); });
}

CALIDRA_API int Calidra_Close(unsigned long handle) {
    return Forward(handle, 0, [](CCalidra& c) { return c.Close(); });
}

CALIDRA_API int Calidra_Start(unsigned long handle) {
    return Forward(handle, 0, [](CCalidra& c) { return c.Start(); });
}

CALIDRA_API int Calidra_Pause(unsigned long handle) {
    return Forward(handle, 0, [](CCalidra& c) { return c.Pause(); });
}

CALIDRA_API unsigned long Calidra_OneShot(unsigned long handle) {
    return Forward(handle, 0ul, [](CCalidra& c) { return static_cast<unsigned long>(c.OneShot()); });
}

CALIDRA_API unsigned long Calidra_Trigger(unsigned long handle) {
    return Forward(handle, 0ul, [](CCalidra& c) { return static_cast<unsigned long>(c.Trigger()); });
}

CALIDRA_API int Calidra_SaveW(unsigned long handle, const wchar_t* path, int type) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.Save(path, type); });
}

CALIDRA_API int Calidra_SaveA(unsigned long handle, const char* path, int type) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.Save(AnsiToWide(path).Get(), type); });
}

CALIDRA_API int Calidra_RecW(unsigned long handle, const wchar_t* path, int kind) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.Record(path, kind); });
}

CALIDRA_API int Calidra_RecA(unsigned long handle, const char* path, int kind) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.Record(AnsiToWide(path).Get(), kind); });
}

CALIDRA_API unsigned long Calidra_GetNewID(unsigned long handle) {
    return Forward(handle, 0ul, [](CCalidra& c) { return static_cast<unsigned long>(c.GetNewId()); });
}

CALIDRA_API int Calidra_GetRaw(unsigned long handle, unsigned long id, unsigned short* buffer, unsigned long size) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.GetRaw(Id32(id), buffer, Size32(size)); });
}

CALIDRA_API int Calidra_GetTemperature(unsigned long handle, unsigned long id, float* buffer, unsigned long size) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.GetTemperature(Id32(id), buffer, Size32(size)); });
}

CALIDRA_API int Calidra_GetColor(unsigned long handle, unsigned long id, unsigned char* buffer, unsigned long size) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.GetColor(Id32(id), buffer, Size32(size)); });
}

CALIDRA_API int Calidra_Nuc(unsigned long handle) {
    return Forward(handle, 0, [](CCalidra& c) { return c.Nuc(); });
}

CALIDRA_API int Calidra_SetOffsetValue(unsigned long handle, unsigned short index, double value) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SetOffsetValue(index, value); });
}

CALIDRA_API double Calidra_GetOffsetValue(unsigned long handle, unsigned short index, int* ok) {
    return Forward(handle, 0.0, [&](CCalidra& c) { return c.GetOffsetValue(index, ok); });
}

CALIDRA_API int Calidra_SetThermoTable(unsigned long handle, unsigned short index, double value) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SetThermoTable(index, value); });
}

CALIDRA_API double Calidra_GetThermoTable(unsigned long handle, unsigned short index, int* ok) {
    return Forward(handle, 0.0, [&](CCalidra& c) { return c.GetThermoTable(index, ok); });
}

CALIDRA_API int Calidra_SaveNucDataA(unsigned long handle, const char* path, FILESAVETYPE type) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SaveNucData(AnsiToWide(path).Get(), type); });
}

CALIDRA_API int Calidra_LoadNucDataA(unsigned long handle, const char* path, FILESAVETYPE type) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.LoadNucData(AnsiToWide(path).Get(), type); });
}

CALIDRA_API unsigned long Calidra_GetDllVersion(void) { return kDllVersion; }

CALIDRA_API int Calidra_SetCameraType(unsigned long handle, int type) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SetCameraType(type); });
}

CALIDRA_API int Calidra_GetParam(unsigned long handle, int id) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.GetParam(id); });
}

CALIDRA_API int Calidra_SetParam(unsigned long handle, int id, int value) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SetParam(id, value); });
}

CALIDRA_API int Calidra_SetTableW(unsigned long handle, const wchar_t* path) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SetTable(path); });
}

CALIDRA_API int Calidra_SetTableA(unsigned long handle, const char* path) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SetTable(AnsiToWide(path).Get()); });
}

CALIDRA_API float Calidra_GetInternalTemperature(unsigned long handle, int* ok) {
    return Forward(handle, 0.0f, [&](CCalidra& c) { return c.GetInternalTemperature(ok); });
}

CALIDRA_API int Calidra_GetLastError(unsigned long handle) {
    return Forward(handle, 0, [](CCalidra& c) { return c.GetLastError(); });
}

}  // extern "C"

CALIDRA_API int Calidra_SaveNucDataW(unsigned long handle, const wchar_t* path, FILESAVETYPE type) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.SaveNucData(path, type); });
}

CALIDRA_API int Calidra_LoadNucDataW(unsigned long handle, const wchar_t* path, FILESAVETYPE type) {
    return Forward(handle, 0, [&](CCalidra& c) { return c.LoadNucData(path, type); });
}
