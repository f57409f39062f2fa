// The object behind one handle: the camera's device object, the ring of
// processed frames, the thermo tables, the palette, the recording writers, the
// acquisition thread and the instance's error stack.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

#include "calidra.h"

namespace calidra {

class CCalidra {
public:
    CCalidra();
    virtual ~CCalidra();
    CCalidra(const CCalidra&) = delete;
    CCalidra& operator=(const CCalidra&) = delete;

    // Start-up, run once by Calidra_Initialize.
    int Init(HWND window);

    // Error stack and notifications.
    void SetError(int code);
    int GetLastError();
    int SetWindowHandle(HWND window);

    int SelectCamera(int number);
    int GetCameraName(int number, wchar_t* name, int nameSize);
    int Close();

    int StartPreview();
    int Start();
    int Pause();
    std::uint32_t OneShot();
    std::uint32_t Trigger();
    int Save(const wchar_t* path, int type);
    int Record(const wchar_t* path, int kind);
    std::uint32_t GetNewId();
    int GetRaw(std::uint32_t id, unsigned short* buffer, std::uint32_t size);
    int GetTemperature(std::uint32_t id, float* buffer, std::uint32_t size);
    int GetColor(std::uint32_t id, unsigned char* buffer, std::uint32_t size);
    int Nuc();
    int SetOffsetValue(unsigned short index, double value);
    double GetOffsetValue(unsigned short index, int* ok);
    int SetThermoTable(unsigned short index, double value);
    double GetThermoTable(unsigned short index, int* ok);
    int SaveNucData(const wchar_t* path, FILESAVETYPE type);
    int LoadNucData(const wchar_t* path, FILESAVETYPE type);
    int SetCameraType(int type);
    int GetParam(int id);
    int SetParam(int id, int value);
    int SetTable(const wchar_t* path);
    float GetInternalTemperature(int* ok);

private:
    std::atomic<HWND> clientWindow_{nullptr};
    std::mutex errorsLock_;  // guards errors_: pushed by the acquisition thread, popped by the client
    std::deque<std::int32_t> errors_;
};

}  // namespace calidra
