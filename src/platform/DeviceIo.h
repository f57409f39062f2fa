// The device calls of the platform: open a device path, one synchronous control
// call, close. The stand-in for CreateFileA, DeviceIoControl and CloseHandle.
#pragma once

#include <cstdint>

namespace calidra {

using DeviceHandle = std::uint64_t;  // 0: no handle

class DeviceIo {
public:
    // 0 when no device answers at path.
    static DeviceHandle Open(const char* path);
    static bool Control(DeviceHandle handle, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                        std::uint32_t outLength, std::uint32_t* bytesReturned);
    static bool Close(DeviceHandle handle);
};

}  // namespace calidra
