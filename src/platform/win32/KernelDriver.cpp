#include "platform/win32/KernelDriver.h"

#include <windows.h>

namespace calidra {

namespace {

HANDLE AsHandle(std::uint64_t file) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(file)); }

}  // namespace

std::uint64_t KernelDriver::Open(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE || file == nullptr) return 0;
    return reinterpret_cast<std::uintptr_t>(file);
}

bool KernelDriver::Control(std::uint64_t file, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                           std::uint32_t outLength, std::uint32_t* bytesReturned) {
    DWORD returned = 0;
    BOOL done =
        DeviceIoControl(AsHandle(file), code, const_cast<void*>(in), inLength, out, outLength, &returned, nullptr);
    *bytesReturned = returned;
    return done != FALSE;
}

void KernelDriver::Close(std::uint64_t file) { CloseHandle(AsHandle(file)); }

DeviceDriver* DeviceDriver::Platform() {
    static KernelDriver driver;
    return &driver;
}

}  // namespace calidra
