// What a kernel-mode camera driver answers, as the platform's device calls see
// it. A driver installs itself once; the device calls route every device path
// to it.
#pragma once

#include <cstdint>

namespace calidra {

class DeviceDriver {
public:
    virtual ~DeviceDriver() = default;
    // Opens a device path; a non-zero file id, or 0 when nothing answers there.
    virtual std::uint64_t Open(const char* path) = 0;
    // One synchronous control call: in/inLength carry the request (the pipe
    // selector), out/outLength the data in either direction. true on success,
    // with *bytesReturned set.
    virtual bool Control(std::uint64_t file, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                         std::uint32_t outLength, std::uint32_t* bytesReturned) = 0;
    virtual void Close(std::uint64_t file) = 0;

    // Makes driver the one that answers device paths (null: none does).
    static void Install(DeviceDriver* driver);
    static DeviceDriver* Installed();
};

}  // namespace calidra
