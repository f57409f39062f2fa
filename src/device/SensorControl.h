// The camera's registers as the library gives them meaning: the setters that
// split wide settings over 8-bit registers and keep the bits they do not own,
// the initialisation sequence, the shutter pulses, the internal temperature
// and the trigger register. The settings it records are those last written
// successfully (or assigned). It holds no lock: its callers take turns (camera
// set-up on the client's thread, data-set loads and calibrations under the
// device lock).
#pragma once

#include <cstdint>

#include "device/SensorSettings.h"

namespace calidra {

class COPVSdkLib;

class SensorControl final : public SensorSettings {
public:
    // Registers of the map the library uses.
    static constexpr int kRegStatus = 7;
    static constexpr int kRegTrigger = 11;
    static constexpr int kRegTransferFormat = 14;
    static constexpr int kRegTriggerAck = 20;
    static constexpr int kRegTemperatureLow = 44;
    static constexpr int kRegTemperatureHigh = 45;
    static constexpr int kRegMode48 = 48;
    static constexpr int kRegWord49Low = 49;
    static constexpr int kRegWord49High = 50;
    static constexpr int kRegShutter = 80;
    static constexpr int kRegInit84 = 84;

    static constexpr int kShutterClose = 32;
    static constexpr int kShutterOpen = 16;

    // Register traffic goes through channel, which must outlive this object.
    explicit SensorControl(COPVSdkLib& channel);
    SensorControl(const SensorControl&) = delete;
    SensorControl& operator=(const SensorControl&) = delete;

    // Pairs: register N = bits 0-7, N + 1 = bits 8-11. 1 when both writes
    // went, else 0 with the recorded value unchanged.
    int SetPair40(int value) override;
    int SetPair42(int value) override;
    int SetPair64(int value) override;
    int SetPair66(int value) override;
    int SetPair68(int value) override;
    int SetPair70(int value) override;
    // Register 49 = bits 0-7, bits 0-6 of register 50 = bits 8-14, bit 7 of
    // register 50 kept. 1/0.
    int SetWord49(int value) override;
    // Bits 0-1 of register 48, the other bits kept. 1/0.
    int SetReg48Mode(int value) override;
    // Bit 2 / bit 3 of register 48, the other bits kept. Unlike the setters
    // above, these give 0 on success.
    enum BitResult : int { kBitSet = 0, kBitFailed = -1 };
    BitResult SetReg48Bit2(int on);
    BitResult SetReg48Bit3(int on);
    // Register 11 = on ? 1 : 0, then register 20 read and discarded. 1, or 0
    // when the write failed.
    int SetTriggerMode(int on);
    // (register 45 << 8) | register 44; 0 when either read fails.
    int ReadInternalTemperature();
    // The fixed start-up sequence; failures are ignored. Returns 1.
    int InitSensorRegisters();
    // Close pulses on register 80 (32, 0, 32, 0), about 120 ms with the
    // pauses the shutter needs; failures are ignored.
    void CloseShutter();

    int CurrentPair40() const override { return values_.pair40; }
    void AssignSettings(const SensorSettingValues& values) override { values_ = values; }
    int WriteRegister(int reg, int value) override;
    // The pauses the camera needs, through the sleep given to SetSleep.
    void Sleep(std::uint32_t milliseconds) override;

    using SleepFunction = void (*)(std::uint32_t milliseconds);
    // The platform's sleep unless told otherwise (null restores it): a harness
    // that drives a driver with no camera behind it has nothing to wait for.
    void SetSleep(SleepFunction sleep);

    const SensorSettingValues& Values() const { return values_; }
    int Reg48Bit2() const { return bit2_; }
    int Reg48Bit3() const { return bit3_; }
    int TriggerFlag() const { return triggerFlag_; }
    void ClearTriggerFlag() { triggerFlag_ = 0; }

private:
    int SetPair(int reg, int value, std::int32_t& recorded);
    // Reads register 48 and writes (old & keep) | set; false when either
    // failed. A failed read writes nothing, so bits it does not own are never
    // overwritten with a guess.
    bool Modify48(int keep, int set);

    COPVSdkLib& channel_;
    SleepFunction sleep_;
    SensorSettingValues values_;
    int bit2_ = 0;
    int bit3_ = 0;
    int triggerFlag_ = 0;
};

}  // namespace calidra
