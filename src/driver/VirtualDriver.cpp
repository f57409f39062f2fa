#include "driver/VirtualDriver.h"

#include <cstring>
#include <string_view>

#include "driver/SimEnvironment.h"
#include "platform/LittleEndian.h"

namespace calidra::sim {

namespace {

constexpr std::string_view kPathPrefix = "\\\\.\\Opvo640ULIS-";

// The camera index a device path names, or -1: only "\\.\Opvo640ULIS-0" to
// "-7" exactly.
int CameraOfPath(const char* path) {
    std::string_view text(path);
    if (text.size() != kPathPrefix.size() + 1 || text.substr(0, kPathPrefix.size()) != kPathPrefix) return -1;
    char digit = text.back();
    if (digit < '0' || digit >= '0' + VirtualDriver::kCameraCount) return -1;
    return digit - '0';
}

// Installs the driver while the library loads, so the device calls reach it
// from the first one on, and takes it away again before it is destroyed. The
// environment's settings are in place before any instance can probe. Where the
// platform has a camera driver of its own, that one answers unless the
// environment asks for the virtual camera (or a control call does, see Choose).
struct Registrar {
    Registrar() {
        SimSettings settings = SimEnvironment::ApplyAtLoad(VirtualDriver::Instance());
        if (DeviceDriver::Platform() == nullptr || settings.virtualCamera.value_or(false))
            DeviceDriver::Install(&VirtualDriver::Instance());
    }
    ~Registrar() { DeviceDriver::Install(nullptr); }
};
const Registrar registrar;

}  // namespace

VirtualDriver& VirtualDriver::Instance() {
    static VirtualDriver driver;
    return driver;
}

bool VirtualDriver::Choose() { return DeviceDriver::InstallBeforeFirstOpen(this); }

VirtualDriver::VirtualDriver() {
    for (int i = 0; i < kCameraCount; ++i) cameras_[i] = std::make_unique<VirtualCamera>(i);
}

VirtualCamera* VirtualDriver::Camera(int index) {
    if (index < 0 || index >= kCameraCount) return nullptr;
    return cameras_[index].get();
}

std::uint64_t VirtualDriver::Open(const char* path) {
    if (path == nullptr) return 0;
    int index = CameraOfPath(path);
    if (index < 0) return 0;
    VirtualCamera& camera = *cameras_[index];
    if (!camera.IsPresent() || camera.TakeFault(Fault::Open)) return 0;
    std::lock_guard<std::mutex> guard(filesLock_);
    std::uint64_t file = nextFile_++;
    files_.emplace(file, OpenFile{index, camera.Generation(), {}});
    return file;
}

void VirtualDriver::Close(std::uint64_t file) {
    std::lock_guard<std::mutex> guard(filesLock_);
    files_.erase(file);
}

bool VirtualDriver::Control(std::uint64_t file, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                            std::uint32_t outLength, std::uint32_t* bytesReturned) {
    *bytesReturned = 0;
    if (code != kCodeInDirect && code != kCodeOutDirect) return false;
    if (in == nullptr || inLength != 4 || out == nullptr) return false;
    std::uint32_t pipe = GetLE32(static_cast<const std::uint8_t*>(in));

    int index;
    std::uint64_t generation;
    {
        std::lock_guard<std::mutex> guard(filesLock_);
        auto it = files_.find(file);
        if (it == files_.end()) return false;
        index = it->second.camera;
        generation = it->second.generation;
    }
    VirtualCamera& camera = *cameras_[index];
    if (!camera.IsUsable(generation)) return false;
    if (camera.TakeFault(Fault::Ioctl)) return false;

    // The pipe gives the direction; either code may carry any pipe.
    switch (pipe) {
        case kPipeCommand:
            return Command(file, camera, out, outLength, bytesReturned);
        case kPipeReply:
            return Reply(file, camera, out, outLength, bytesReturned);
        case kPipeFrame:
            if (outLength == 0) return false;
            return camera.ReadFrame(static_cast<std::uint8_t*>(out), outLength, bytesReturned, generation);
        default:
            return false;
    }
}

bool VirtualDriver::Command(std::uint64_t file, VirtualCamera& camera, void* out, std::uint32_t outLength,
                            std::uint32_t* bytesReturned) {
    if (outLength != kPacketSize) return false;
    const auto* packet = static_cast<const std::uint8_t*>(out);
    int value = -1;
    if (!camera.Execute(packet, &value)) return false;
    if (value >= 0) {
        // The camera answers a read with a status packet echoing the request,
        // then the value in byte 0 of the second.
        Packet status{};
        status[0] = packet[0];
        status[1] = packet[1];
        Packet answer{};
        answer[0] = static_cast<std::uint8_t>(value);
        answer[1] = packet[1];
        std::lock_guard<std::mutex> guard(filesLock_);
        auto it = files_.find(file);
        if (it != files_.end()) {
            std::deque<Packet>& replies = it->second.replies;
            replies.push_back(status);
            replies.push_back(answer);
            while (replies.size() > kMaxQueuedReplies) replies.pop_front();
        }
    }
    *bytesReturned = kPacketSize;
    return true;
}

bool VirtualDriver::Reply(std::uint64_t file, VirtualCamera& camera, void* out, std::uint32_t outLength,
                          std::uint32_t* bytesReturned) {
    if (outLength != kPacketSize) return false;
    Packet reply;
    {
        std::lock_guard<std::mutex> guard(filesLock_);
        auto it = files_.find(file);
        if (it == files_.end() || it->second.replies.empty()) return false;
        reply = it->second.replies.front();
        it->second.replies.pop_front();
    }
    // A reply lost on the way is gone: the next read gets the packet after it.
    if (camera.TakeFault(Fault::Reply)) return false;
    std::memcpy(out, reply.data(), kPacketSize);
    *bytesReturned = kPacketSize;
    return true;
}

}  // namespace calidra::sim
