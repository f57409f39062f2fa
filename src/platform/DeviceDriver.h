// What a kernel-mode camera driver answers, as the platform's device calls see
// it. The platform may have a driver of its own (the camera maker's on
// Windows); another driver may be installed in its place, and the device calls
// route every device path to the one that answers.
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

    // Makes driver the one that answers device paths (null: the platform's own).
    static void Install(DeviceDriver* driver);
    // Installs driver unless a device path has been opened already, so that the
    // driver which answered a process's first open goes on answering it. true
    // when driver is the one that answers now.
    static bool InstallBeforeFirstOpen(DeviceDriver* driver);
    // The driver that answers: the one installed, else the platform's own; null
    // when there is neither.
    static DeviceDriver* Installed();
    // The platform's own driver: the camera maker's kernel-mode driver on
    // Windows; null where the platform has none.
    static DeviceDriver* Platform();
};

}  // namespace calidra
