#include "device/COptivo640ULISSdk.h"

#include "device/CommandPacket.h"
#include "device/DriverChannel.h"

namespace calidra {

namespace {

constexpr int kFormat16Bit = 9;
constexpr int kFormat8Bit = 8;

}  // namespace

COptivo640ULISSdk::COptivo640ULISSdk() {
    // The base has no buffers, no stream and no camera yet; the sensor
    // settings hold their defaults and no calibration is armed.
    SetSensorTag(kSensorTag);
    ProbeDevices();
    SetupCamera(0);
}

int COptivo640ULISSdk::SetTransferMode(int flag) {
    SetTransferModeFlag(flag);
    // This camera always moves 16-bit words over the channel; the pixel
    // format is chosen by register 14.
    DeviceHandle handle = 0;
    if (OpenChannel(handle, DevicePath())) {
        CommandPacket packet = CommandPacket::TransferMode(true);
        SendBlock(handle, kPipeCommand, CommandPacket::kSize, packet.Data());
        CloseChannel(handle);
    }
    WriteRegister(SensorControl::kRegTransferFormat, flag != 0 ? kFormat16Bit : kFormat8Bit);
    return 1;
}

COPVSdkLib::Result COptivo640ULISSdk::SetupCamera(int index) {
    Sensor().ClearTriggerFlag();
    SetTransferModeFlag(0);
    if (SelectDevice(index) != kOk) return kInvalidIndex;
    SetTransferMode(0);
    SendInitCommand();
    InitSensorRegisters();
    ResetCorrectionTables();
    // The recorded settings go back to their defaults, not to what the
    // initialisation just sent: a data set or calibration starts from them.
    Sensor().AssignSettings(SensorSettingValues{});
    SetWindow(0, 0, kFullWidth, kFullHeight, 0);
    return kOk;
}

}  // namespace calidra
