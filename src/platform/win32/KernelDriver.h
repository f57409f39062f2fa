// The camera maker's kernel-mode driver, reached through its device paths with
// CreateFileA, DeviceIoControl and CloseHandle.
#pragma once

#include "platform/DeviceDriver.h"

namespace calidra {

class KernelDriver final : public DeviceDriver {
public:
    // Opened for writing with write sharing, so that the stream's handle and the
    // register exchanges of other threads can be open at once.
    std::uint64_t Open(const char* path) override;
    bool Control(std::uint64_t file, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                 std::uint32_t outLength, std::uint32_t* bytesReturned) override;
    void Close(std::uint64_t file) override;
};

}  // namespace calidra
