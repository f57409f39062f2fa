#include "device/SensorControl.h"

#include "device/COPVSdkLib.h"
#include "platform/Clock.h"

namespace calidra {

SensorControl::SensorControl(COPVSdkLib& channel) : channel_(channel), sleep_(&Clock::Sleep) {}

int SensorControl::WriteRegister(int reg, int value) { return channel_.WriteRegister(reg, value); }

void SensorControl::Sleep(std::uint32_t milliseconds) { sleep_(milliseconds); }

void SensorControl::SetSleep(SleepFunction sleep) { sleep_ = sleep != nullptr ? sleep : &Clock::Sleep; }

int SensorControl::SetPair(int reg, int value, std::int32_t& recorded) {
    if (!WriteRegister(reg, value & 0xFF)) return 0;
    if (!WriteRegister(reg + 1, (value >> 8) & 0x0F)) return 0;
    recorded = value;
    return 1;
}

int SensorControl::SetPair40(int value) { return SetPair(40, value, values_.pair40); }
int SensorControl::SetPair42(int value) { return SetPair(42, value, values_.pair42); }
int SensorControl::SetPair64(int value) { return SetPair(64, value, values_.pair64); }
int SensorControl::SetPair66(int value) { return SetPair(66, value, values_.pair66); }
int SensorControl::SetPair68(int value) { return SetPair(68, value, values_.pair68); }
int SensorControl::SetPair70(int value) { return SetPair(70, value, values_.pair70); }

int SensorControl::SetWord49(int value) {
    int old = 0;
    if (!channel_.ReadRegister(kRegWord49High, &old)) return 0;
    if (!WriteRegister(kRegWord49Low, value & 0xFF)) return 0;
    if (!WriteRegister(kRegWord49High, ((value >> 8) & 0xFF) | (old & 0x80))) return 0;
    values_.word49 = value;
    return 1;
}

bool SensorControl::Modify48(int keep, int set) {
    int old = 0;
    if (!channel_.ReadRegister(kRegMode48, &old)) return false;
    return WriteRegister(kRegMode48, set | (old & keep)) != 0;
}

int SensorControl::SetReg48Mode(int value) {
    if (!Modify48(0xFC, value & 3)) return 0;
    values_.reg48Mode = value;
    return 1;
}

SensorControl::BitResult SensorControl::SetReg48Bit2(int on) {
    if (!Modify48(0xFB, on ? 4 : 0)) return kBitFailed;
    bit2_ = on ? 1 : 0;
    return kBitSet;
}

SensorControl::BitResult SensorControl::SetReg48Bit3(int on) {
    if (!Modify48(0xF7, on ? 8 : 0)) return kBitFailed;
    bit3_ = on ? 1 : 0;
    return kBitSet;
}

int SensorControl::SetTriggerMode(int on) {
    if (!WriteRegister(kRegTrigger, on ? 1 : 0)) return 0;
    // The camera takes the new mode once register 20 has been read.
    int ignored = 0;
    channel_.ReadRegister(kRegTriggerAck, &ignored);
    triggerFlag_ = on ? 1 : 0;
    return 1;
}

int SensorControl::ReadInternalTemperature() {
    int low = 0;
    int high = 0;
    if (!channel_.ReadRegister(kRegTemperatureLow, &low)) return 0;
    if (!channel_.ReadRegister(kRegTemperatureHigh, &high)) return 0;
    return (high << 8) | low;
}

int SensorControl::InitSensorRegisters() {
    WriteRegister(kRegInit84, 0);
    // An open pulse, so the shutter starts open whatever it did before.
    WriteRegister(kRegShutter, 0);
    Sleep(22);
    WriteRegister(kRegShutter, kShutterOpen);
    Sleep(22);
    WriteRegister(kRegShutter, 0);
    // Start-up values; three differ from the recorded defaults, which stand
    // until a data set replaces them.
    SetWord49(270);
    SetReg48Mode(0);
    SetPair40(1800);
    SetPair42(1041);
    SetPair64(1660);
    SetPair66(3459);
    SetPair68(2220);
    SetPair70(2854);
    SetReg48Bit2(1);
    SetReg48Bit3(1);
    return 1;
}

void SensorControl::CloseShutter() {
    WriteRegister(kRegShutter, kShutterClose);
    Sleep(40);
    WriteRegister(kRegShutter, 0);
    Sleep(10);
    WriteRegister(kRegShutter, kShutterClose);
    Sleep(20);
    WriteRegister(kRegShutter, 0);
    Sleep(50);
}

}  // namespace calidra
