// The driver that answers the camera device paths with simulated cameras: it
// owns the paths, the open handles, the control codes and the pipes, and
// hands each packet or frame request to the camera behind the handle.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "driver/VirtualCamera.h"
#include "platform/DeviceDriver.h"

namespace calidra::sim {

class VirtualDriver final : public DeviceDriver {
public:
    static constexpr int kCameraCount = 8;
    static constexpr std::uint32_t kCodeInDirect = 0x222051;
    static constexpr std::uint32_t kCodeOutDirect = 0x22204E;
    static constexpr std::uint32_t kPipeCommand = 0;
    static constexpr std::uint32_t kPipeReply = 1;
    static constexpr std::uint32_t kPipeFrame = 2;
    static constexpr std::uint32_t kPacketSize = 64;

    // The one driver of the process. Installed before main runs where the
    // platform has no camera driver of its own, or the environment asks for it.
    static VirtualDriver& Instance();

    VirtualDriver();

    // Makes this the driver that answers, unless a device path was opened
    // already (an instance exists): a program that controls the virtual camera
    // before its first instance gets it. true when this driver answers.
    bool Choose();

    // null for an index outside 0 to 7.
    VirtualCamera* Camera(int index);

    std::uint64_t Open(const char* path) override;
    bool Control(std::uint64_t file, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                 std::uint32_t outLength, std::uint32_t* bytesReturned) override;
    void Close(std::uint64_t file) override;

private:
    using Packet = std::array<std::uint8_t, kPacketSize>;
    // Replies wait on the handle whose read asked for them, so that register
    // reads through different handles never take each other's answers.
    struct OpenFile {
        int camera;
        std::uint64_t generation;
        std::deque<Packet> replies;
    };
    static constexpr std::size_t kMaxQueuedReplies = 32;

    bool Command(std::uint64_t file, VirtualCamera& camera, void* out, std::uint32_t outLength,
                 std::uint32_t* bytesReturned);
    bool Reply(std::uint64_t file, VirtualCamera& camera, void* out, std::uint32_t outLength,
               std::uint32_t* bytesReturned);

    std::array<std::unique_ptr<VirtualCamera>, kCameraCount> cameras_;
    std::mutex filesLock_;  // guards files_ and nextFile_
    std::unordered_map<std::uint64_t, OpenFile> files_;
    std::uint64_t nextFile_ = 1;
};

}  // namespace calidra::sim
