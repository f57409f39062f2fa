// The device object of one camera: the channel to the driver (device path,
// presence, register read and write, command packets), sensor control, the
// frame transfer threads and buffers, and the device lock that serialises the
// per-frame correction. The object holds no driver handle between operations:
// each exchange opens the device path and closes it again, except a running
// stream, whose thread keeps its own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "device/FrameTransfer.h"
#include "device/RawFrameFormat.h"
#include "device/SensorControl.h"
#include "device/SensorCorrection.h"

namespace calidra {

class COPVSdkLib {
public:
    static constexpr int kDeviceCount = 8;
    static constexpr int kFullWidth = 640;
    static constexpr int kFullHeight = 480;

    // The device object's own results (0 is success); frame transfers give
    // FrameTransfer::Result.
    enum Result : int { kOk = 0, kInvalidWindow = 1, kInvalidIndex = 22 };

    COPVSdkLib(const COPVSdkLib&) = delete;
    COPVSdkLib& operator=(const COPVSdkLib&) = delete;

    // Driver channel.
    // Opens the path of every index 0 to 7 once and records which answered;
    // the selected index becomes 0 (the path is built by SelectDevice).
    void ProbeDevices();
    int GetDeviceCount() const { return kDeviceCount; }
    // 1 when index is 0 to 7 and answered the probe, else 0.
    int IsDevicePresent(int index) const;
    // kOk with the index selected and its path built; kInvalidIndex (nothing
    // changed) for an index outside 0 to 7.
    Result SelectDevice(int index);
    int GetDeviceIndex() const { return deviceIndex_; }
    const char* DevicePath() const { return devicePath_.data(); }
    // 1 when the packet [0x25, reg, value & 0xFF] went, else 0. Registers are
    // numbered 0 to 255; any other number fails without traffic rather than
    // reaching the register its low byte names.
    int WriteRegister(int reg, int value);
    // 1 with *value set from the second reply packet. 0 when the camera cannot
    // be opened (*value untouched); 0 with *value = 0 on any other failure.
    int ReadRegister(int reg, int* value);
    // Command 0x06, when the camera opens; nothing is reported.
    void SendInitCommand();
    // Command 0x09 with the transfer length of the current window. Returns 1.
    int SetTransferLength();
    // Frame-copy and conversion operations of the device class, for frame formats
    // other than this camera's (which needs none of them). They work on the
    // progressive layout of the current window; buffer sizes are in bytes and
    // every copy is checked against them. 0, 5 (bad region) or 14 (null or short
    // buffer).
    virtual int CopyRawFrame(std::uint8_t* destination, std::size_t destinationSize, const std::uint8_t* source,
                             std::size_t sourceSize);
    virtual int ConvertRegion(std::uint8_t* destination, std::size_t destinationSize, const std::uint8_t* source,
                              std::size_t sourceSize, int colour, int x0, int y0, int x1, int y1);
    virtual int ConvertFrame(std::uint8_t* destination, std::size_t destinationSize, const std::uint8_t* source,
                             std::size_t sourceSize, int colour);
    virtual int CopyLines(std::uint8_t* destination, std::size_t destinationSize, const std::uint8_t* source,
                          std::size_t sourceSize);
    // Records the flag (1 = 16-bit transfers, 0 = 8-bit) and sends command
    // 0x0A with it. Returns 1.
    virtual int SetTransferMode(int flag);
    int GetTransferMode() const { return transferMode_; }

    // Sensor control.
    int SetPair40(int value) { return sensor_.SetPair40(value); }
    int SetPair42(int value) { return sensor_.SetPair42(value); }
    int SetPair64(int value) { return sensor_.SetPair64(value); }
    int SetPair66(int value) { return sensor_.SetPair66(value); }
    int SetPair68(int value) { return sensor_.SetPair68(value); }
    int SetPair70(int value) { return sensor_.SetPair70(value); }
    int SetWord49(int value) { return sensor_.SetWord49(value); }
    int SetReg48Mode(int value) { return sensor_.SetReg48Mode(value); }
    SensorControl::BitResult SetReg48Bit2(int on) { return sensor_.SetReg48Bit2(on); }
    SensorControl::BitResult SetReg48Bit3(int on) { return sensor_.SetReg48Bit3(on); }
    int SetTriggerMode(int on) { return sensor_.SetTriggerMode(on); }
    int ReadInternalTemperature() { return sensor_.ReadInternalTemperature(); }
    int InitSensorRegisters() { return sensor_.InitSensorRegisters(); }
    // Closes the shutter (about 120 ms) and arms a shutter calibration over
    // the next frames corrected. Returns 1.
    int RequestShutterNuc(int frames);
    SensorControl& Sensor() { return sensor_; }
    const SensorControl& Sensor() const { return sensor_; }

    // Frame transfer.
    // kOk with the window programmed and the buffers rebuilt; kInvalidWindow
    // for a window outside the sensor, an unknown read-out mode, or while a
    // capture or stream runs (its buffers must stay).
    Result SetWindow(int x, int y, int width, int height, int mode);
    // As FrameTransfer::Allocate; sends the transfer length on success.
    FrameTransfer::Result AllocateFrameBuffers(int width, int height, int ringSize);
    FrameTransfer::Result CaptureSingle();
    FrameTransfer::Result StartStream();
    FrameTransfer::Result WaitFrame() { return transfer_.WaitFrame(); }
    void AwaitFrame(std::uint32_t timeoutMs) { transfer_.AwaitFrame(timeoutMs); }
    FrameTransfer::Result ReadStreamFrame(std::uint16_t* destination) { return transfer_.ReadStreamFrame(destination); }
    FrameTransfer::Result ReadSingleFrame(std::uint16_t* destination) { return transfer_.ReadSingleFrame(destination); }
    FrameTransfer::Result StopStream() { return transfer_.StopStream(); }
    int WindowX() const { return windowX_; }
    int WindowY() const { return windowY_; }
    int WindowWidth() const { return transfer_.Width(); }
    int WindowHeight() const { return transfer_.Height(); }
    int WindowMode() const { return windowMode_; }
    std::uint32_t TransferLength() const { return transfer_.TransferLength(); }
    // Bytes of one transfer: two per pixel in 16-bit mode, one in 8-bit mode.
    std::uint32_t TransferByteCount() const;
    FrameTransfer& Transfer() { return transfer_; }

    // Correction.
    // Corrects one full 640 x 480 raw frame (line 0 first) into destination,
    // last line first, as it leaves the device layer.
    void CorrectFrameInto(const std::uint16_t* frame, std::uint16_t* destination);
    // Serialises the per-frame correction, data-set loads, calibration
    // requests and the saving and loading of correction data.
    std::mutex& DeviceLock() { return deviceLock_; }
    struct CalibrationRequest {
        bool requested = false;
        int framesToAverage = 30;
    };
    // The calibration last armed; takes the device lock.
    CalibrationRequest PendingCalibration();
    // Loads a camera data set ("VL-DATSET-V" file) into the correction and sends
    // its settings: 1 loaded, 0 not (missing, empty or foreign file).
    int LoadDataSet(const wchar_t* path);
    // The correction state. Its planes change only under DeviceLock(); the level
    // table is read without it (single entries, as the readouts do).
    SensorCorrection& Correction() { return correction_; }
    const SensorCorrection& Correction() const { return correction_; }

protected:
    COPVSdkLib();
    // Not virtual: the device object is always destroyed as its own type.
    ~COPVSdkLib() = default;

    // The 11-character sensor-kind tag the device paths are built from.
    void SetSensorTag(const char* tag);
    void SetTransferModeFlag(int flag) { transferMode_ = flag; }
    // Camera set-up: the correction planes, bad-pixel list, level table and
    // NUC tables back to their defaults.
    void ResetCorrectionTables();

private:
    // Sends one command packet to the command pipe over a handle of its own;
    // true when it went.
    bool SendCommand(std::uint8_t* packet);

    std::array<char, 12> sensorTag_{};
    std::array<char, 128> devicePath_{};
    std::array<int, kDeviceCount> present_{};
    int deviceIndex_ = 0;
    int transferMode_ = 0;
    int windowX_ = 0;
    int windowY_ = 0;
    int windowMode_ = 0;

    SensorControl sensor_;
    std::mutex deviceLock_;  // guards correction_ (planes, calibration, data-set loads)
    SensorCorrection correction_;
    FrameLayout Layout() const;

    // Declared last, so it is destroyed first: a running stream ends while
    // everything its thread reaches still exists.
    FrameTransfer transfer_;
};

}  // namespace calidra
