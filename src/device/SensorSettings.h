// What the correction and calibration code needs of the sensor: the register
// setters a data set sends, the pair-40 level a calibration nudges, raw register
// writes for the shutter and the platform sleep. The device object implements it;
// tests use a fake that records the calls in order.
#pragma once

#include <cstdint>

namespace calidra {

// The settings a device object records; the defaults stand at construction, after
// every camera set-up and at the start of every data-set load.
struct SensorSettingValues {
    std::int32_t word49 = 636;
    std::int32_t reg48Mode = 2;
    std::int32_t pair40 = 2098;
    std::int32_t pair42 = 1041;
    std::int32_t pair64 = 1660;
    std::int32_t pair66 = 3459;
    std::int32_t pair68 = 2220;
    std::int32_t pair70 = 2854;
    // Carried by a data set and kept without use.
    std::int32_t unused = 0;
};

class SensorSettings {
public:
    // Setters return 1 when the registers were written, 0 otherwise; a success
    // also updates the recorded value.
    virtual int SetWord49(int value) = 0;
    virtual int SetReg48Mode(int value) = 0;
    virtual int SetPair40(int value) = 0;
    virtual int SetPair42(int value) = 0;
    virtual int SetPair64(int value) = 0;
    virtual int SetPair66(int value) = 0;
    virtual int SetPair68(int value) = 0;
    virtual int SetPair70(int value) = 0;
    // The recorded pair-40 value, the base of a calibration's step.
    virtual int CurrentPair40() const = 0;
    // Records values without sending anything to the camera.
    virtual void AssignSettings(const SensorSettingValues& values) = 0;
    // 1 on success, 0 on failure.
    virtual int WriteRegister(int reg, int value) = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;

protected:
    ~SensorSettings() = default;
};

}  // namespace calidra
