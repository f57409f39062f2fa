// The control functions of the virtual camera driver, for tests and demos.
#include <cmath>

#include "calidra_sim.h"
#include "driver/CameraRegisters.h"
#include "driver/VirtualDriver.h"
#include "platform/CBoundary.h"

namespace {

using calidra::CatchAll;
using calidra::sim::Fault;
using calidra::sim::VirtualCamera;
using calidra::sim::VirtualDriver;

// Every control call asks for the virtual camera, which answers from then on
// if no instance has opened a device yet.
VirtualCamera* CameraAt(int index) {
    VirtualDriver& driver = VirtualDriver::Instance();
    driver.Choose();
    return driver.Camera(index);
}

bool IsRegister(int reg) { return reg >= 0 && reg < calidra::sim::kRegisterCount; }

}  // namespace

extern "C" {

CALIDRA_SIM_API int CalidraSim_Reset(void) {
    return CatchAll(0, [&] {
        for (int i = 0; i < VirtualDriver::kCameraCount; ++i) CameraAt(i)->Reset();
        return 1;
    });
}

CALIDRA_SIM_API int CalidraSim_SetPresent(int index, int present) {
    return CatchAll(0, [&] {
        VirtualCamera* camera = CameraAt(index);
        if (camera == nullptr) return 0;
        camera->SetPresent(present != 0);
        return 1;
    });
}

// Rates above a thousand frames per second are refused: no camera of this
// kind runs that fast, and 0 already asks for frames without waiting.
CALIDRA_SIM_API int CalidraSim_SetFrameRate(int index, double framesPerSecond) {
    return CatchAll(0, [&] {
        VirtualCamera* camera = CameraAt(index);
        if (camera == nullptr || !std::isfinite(framesPerSecond) || framesPerSecond < 0.0 || framesPerSecond > 1000.0)
            return 0;
        camera->SetFrameRate(framesPerSecond);
        return 1;
    });
}

CALIDRA_SIM_API int CalidraSim_SetFrame(int index, const unsigned short* pixels) {
    return CatchAll(0, [&] {
        VirtualCamera* camera = CameraAt(index);
        if (camera == nullptr) return 0;
        camera->SetFixedFrame(pixels);
        return 1;
    });
}

CALIDRA_SIM_API int CalidraSim_SetRegister(int index, int reg, int value) {
    return CatchAll(0, [&] {
        VirtualCamera* camera = CameraAt(index);
        if (camera == nullptr || !IsRegister(reg) || value < 0 || value > 255) return 0;
        camera->SetRegister(reg, static_cast<unsigned char>(value));
        return 1;
    });
}

CALIDRA_SIM_API int CalidraSim_GetRegister(int index, int reg) {
    return CatchAll(-1, [&] {
        VirtualCamera* camera = CameraAt(index);
        if (camera == nullptr || !IsRegister(reg)) return -1;
        return static_cast<int>(camera->GetRegister(reg));
    });
}

CALIDRA_SIM_API int CalidraSim_SetInternalTemperature(int index, int raw) {
    return CatchAll(0, [&] {
        VirtualCamera* camera = CameraAt(index);
        if (camera == nullptr || raw < 0 || raw > 0xFFFF) return 0;
        camera->SetInternalTemperature(static_cast<unsigned short>(raw));
        return 1;
    });
}

CALIDRA_SIM_API int CalidraSim_GetCommandLog(int index, unsigned char (*packets)[64], int maxPackets) {
    VirtualCamera* camera = CameraAt(index);
    if (camera == nullptr || maxPackets < 0 || (packets == nullptr && maxPackets > 0)) return 0;
    return camera->CopyCommandLog(packets, maxPackets);
}

CALIDRA_SIM_API int CalidraSim_ClearCommandLog(int index) {
    return CatchAll(0, [&] {
        VirtualCamera* camera = CameraAt(index);
        if (camera == nullptr) return 0;
        camera->ClearCommandLog();
        return 1;
    });
}

CALIDRA_SIM_API int CalidraSim_InjectFault(int index, int fault, int count) {
    return CatchAll(0, [&] {
        VirtualCamera* camera = CameraAt(index);
        if (camera == nullptr || fault < CALIDRA_SIM_FAULT_OPEN || fault > CALIDRA_SIM_FAULT_REPLY || count < 0)
            return 0;
        camera->InjectFault(static_cast<Fault>(fault), count);
        return 1;
    });
}

}  // extern "C"
