#include "device/COPVSdkLib.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "device/CommandPacket.h"
#include "device/DataSetLoader.h"
#include "device/DriverChannel.h"

namespace calidra {

namespace {

constexpr int kRegTransferLength0 = 0;
constexpr int kRegWindowLeft = 16;
constexpr int kRegWindowTop = 17;
constexpr int kRegWindowWidth = 18;
constexpr int kRegWindowHeight = 19;
constexpr std::uint32_t kWindowSettleMs = 100;

// A null buffer becomes an empty span, which the frame operations refuse with 14.
std::span<std::uint8_t> Writable(std::uint8_t* data, std::size_t size) {
    return data == nullptr ? std::span<std::uint8_t>() : std::span<std::uint8_t>(data, size);
}

std::span<const std::uint8_t> Readable(const std::uint8_t* data, std::size_t size) {
    return data == nullptr ? std::span<const std::uint8_t>() : std::span<const std::uint8_t>(data, size);
}

bool IsRegisterNumber(int reg) { return reg >= 0 && reg <= 255; }

// Read-out modes the camera knows: 0 to 3, 17 and 18.
bool IsReadoutMode(int mode) { return (mode >= 0 && mode <= 3) || mode == 17 || mode == 18; }

}  // namespace

COPVSdkLib::COPVSdkLib()
    : sensor_(*this), transfer_([this](const std::uint16_t* frame, std::uint16_t* destination) {
          // The correction covers exactly one full sensor frame; a smaller
          // window's buffer is not one.
          if (transfer_.Width() != kFullWidth || transfer_.Height() != kFullHeight) return false;
          CorrectFrameInto(frame, destination);
          return true;
      }) {}

void COPVSdkLib::SetSensorTag(const char* tag) {
    sensorTag_.fill('\0');
    std::strncpy(sensorTag_.data(), tag, sensorTag_.size() - 1);
}

void COPVSdkLib::ProbeDevices() {
    for (int index = 0; index < kDeviceCount; ++index) {
        char path[128];
        std::snprintf(path, sizeof path, "\\\\.\\%s-%d", sensorTag_.data(), index);
        DeviceHandle handle = 0;
        present_[index] = OpenChannel(handle, path);
        CloseChannel(handle);
    }
    deviceIndex_ = 0;
}

int COPVSdkLib::IsDevicePresent(int index) const {
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(kDeviceCount)) return 0;
    return present_[index] != 0 ? 1 : 0;
}

COPVSdkLib::Result COPVSdkLib::SelectDevice(int index) {
    if (static_cast<unsigned>(index) >= static_cast<unsigned>(kDeviceCount)) return kInvalidIndex;
    deviceIndex_ = index;
    std::snprintf(devicePath_.data(), devicePath_.size(), "\\\\.\\%s-%d", sensorTag_.data(), index);
    return kOk;
}

bool COPVSdkLib::SendCommand(std::uint8_t* packet) {
    DeviceHandle handle = 0;
    if (!OpenChannel(handle, devicePath_.data())) return false;
    BlockResult result = SendBlock(handle, kPipeCommand, CommandPacket::kSize, packet);
    CloseChannel(handle);
    return result == kBlockOk;
}

int COPVSdkLib::WriteRegister(int reg, int value) {
    if (!IsRegisterNumber(reg)) return 0;
    CommandPacket packet = CommandPacket::RegisterWrite(static_cast<std::uint8_t>(reg), value);
    return SendCommand(packet.Data()) ? 1 : 0;
}

int COPVSdkLib::ReadRegister(int reg, int* value) {
    if (value == nullptr) return 0;
    if (!IsRegisterNumber(reg)) {
        *value = 0;
        return 0;
    }
    DeviceHandle handle = 0;
    if (!OpenChannel(handle, devicePath_.data())) return 0;
    CommandPacket request = CommandPacket::RegisterRead(static_cast<std::uint8_t>(reg));
    int result = 0;
    int read = 0;
    if (SendBlock(handle, kPipeCommand, CommandPacket::kSize, request.Data()) == kBlockOk) {
        // The camera answers with two packets; only the second carries the
        // value, and losing the first does not spoil the read.
        std::uint8_t reply[CommandPacket::kSize] = {};
        ReceiveBlock(handle, kPipeReply, CommandPacket::kSize, reply);
        if (ReceiveBlock(handle, kPipeReply, CommandPacket::kSize, reply) == kBlockOk) {
            read = reply[0];
            result = 1;
        }
    }
    CloseChannel(handle);
    *value = read;
    return result;
}

void COPVSdkLib::SendInitCommand() {
    CommandPacket packet = CommandPacket::Init();
    SendCommand(packet.Data());
}

int COPVSdkLib::SetTransferLength() {
    CommandPacket packet = CommandPacket::TransferLength(transfer_.TransferLength());
    SendCommand(packet.Data());
    return 1;
}

int COPVSdkLib::SetTransferMode(int flag) {
    transferMode_ = flag;
    CommandPacket packet = CommandPacket::TransferMode(flag != 0);
    SendCommand(packet.Data());
    return 1;
}

int COPVSdkLib::RequestShutterNuc(int frames) {
    sensor_.CloseShutter();
    std::lock_guard<std::mutex> guard(deviceLock_);
    correction_.RequestCalibration(frames);
    return 1;
}

COPVSdkLib::CalibrationRequest COPVSdkLib::PendingCalibration() {
    std::lock_guard<std::mutex> guard(deviceLock_);
    const ShutterCalibration& calibration = correction_.Calibration();
    return CalibrationRequest{calibration.Requested(), calibration.FramesToAverage()};
}

void COPVSdkLib::CorrectFrameInto(const std::uint16_t* frame, std::uint16_t* destination) {
    std::lock_guard<std::mutex> guard(deviceLock_);
    correction_.CorrectFrameReversed(frame, destination, sensor_);
}

void COPVSdkLib::ResetCorrectionTables() {
    std::lock_guard<std::mutex> guard(deviceLock_);
    correction_.Reset();
}

int COPVSdkLib::LoadDataSet(const wchar_t* path) {
    // The file is read before the lock is taken, so a slow disk never holds up
    // the frames being corrected.
    std::vector<std::uint8_t> image;
    if (!DataSetLoader::ReadFile(path, image) || !DataSetLoader::IsDataSet(image.data(), image.size())) return 0;
    std::lock_guard<std::mutex> guard(deviceLock_);
    return correction_.LoadDataSet(image.data(), image.size(), sensor_);
}

std::uint32_t COPVSdkLib::TransferByteCount() const {
    return transfer_.TransferLength() * (transferMode_ != 0 ? 2u : 1u);
}

COPVSdkLib::Result COPVSdkLib::SetWindow(int x, int y, int width, int height, int mode) {
    if (x < 0 || y < 0 || width < 4 || height < 3 || x + width > kFullWidth || y + height > kFullHeight ||
        !IsReadoutMode(mode) || transfer_.IsBusy())
        return kInvalidWindow;
    windowX_ = x;
    windowY_ = y;
    windowMode_ = mode;
    AllocateFrameBuffers(width, height, FrameTransfer::kRingSize);
    WriteRegister(kRegWindowLeft, x / 2);
    WriteRegister(kRegWindowTop, y / 2);
    WriteRegister(kRegWindowWidth, width / 2);
    WriteRegister(kRegWindowHeight, height / 2 - 1);
    // Register 0 takes 255 first and the low byte last, which makes the
    // camera take the new length.
    std::uint32_t length = transfer_.TransferLength();
    WriteRegister(kRegTransferLength0, 255);
    WriteRegister(kRegTransferLength0 + 1, static_cast<int>((length >> 8) & 0xFF));
    WriteRegister(kRegTransferLength0 + 2, static_cast<int>((length >> 16) & 0xFF));
    WriteRegister(kRegTransferLength0 + 3, static_cast<int>((length >> 24) & 0xFF));
    WriteRegister(kRegTransferLength0, static_cast<int>(length & 0xFF));
    sensor_.Sleep(kWindowSettleMs);
    return kOk;
}

FrameTransfer::Result COPVSdkLib::AllocateFrameBuffers(int width, int height, int ringSize) {
    FrameTransfer::Result result = transfer_.Allocate(width, height, ringSize);
    if (result == FrameTransfer::kOk) SetTransferLength();
    return result;
}

FrameTransfer::Result COPVSdkLib::CaptureSingle() {
    return transfer_.CaptureSingle(devicePath_.data(), TransferByteCount());
}

FrameTransfer::Result COPVSdkLib::StartStream() {
    return transfer_.StartStream(devicePath_.data(), TransferByteCount());
}

FrameLayout COPVSdkLib::Layout() const {
    return FrameLayout::ForWindow(transfer_.Width(), transfer_.Height(), transferMode_ != 0);
}

int COPVSdkLib::CopyRawFrame(std::uint8_t* destination, std::size_t destinationSize, const std::uint8_t* source,
                             std::size_t sourceSize) {
    return calidra::CopyRawFrame(Writable(destination, destinationSize), Readable(source, sourceSize), Layout());
}

int COPVSdkLib::ConvertRegion(std::uint8_t* destination, std::size_t destinationSize, const std::uint8_t* source,
                              std::size_t sourceSize, int colour, int x0, int y0, int x1, int y1) {
    return calidra::ConvertRegion(Writable(destination, destinationSize), Readable(source, sourceSize), colour, x0, y0,
                                  x1, y1, Layout());
}

int COPVSdkLib::ConvertFrame(std::uint8_t* destination, std::size_t destinationSize, const std::uint8_t* source,
                             std::size_t sourceSize, int colour) {
    return calidra::ConvertFrame(Writable(destination, destinationSize), Readable(source, sourceSize), colour,
                                 Layout());
}

int COPVSdkLib::CopyLines(std::uint8_t* destination, std::size_t destinationSize, const std::uint8_t* source,
                          std::size_t sourceSize) {
    return calidra::CopyLines(Writable(destination, destinationSize), Readable(source, sourceSize), Layout());
}

}  // namespace calidra
