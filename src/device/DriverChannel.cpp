#include "device/DriverChannel.h"

#include "platform/LittleEndian.h"

namespace calidra {

namespace {

BlockResult TransferBlock(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer,
                          std::uint32_t code) {
    if (handle == 0) return kBlockNoHandle;
    std::uint32_t bytes = 0;
    if (IoTransfer(handle, pipe, length, buffer, &bytes, code) != kIoDone || bytes != length) return kBlockFailed;
    return kBlockOk;
}

}  // namespace

int OpenChannel(DeviceHandle& handle, const char* path) {
    if (path == nullptr || path[0] == '\0') return 0;
    handle = DeviceIo::Open(path);
    return handle != 0 ? 1 : 0;
}

int CloseChannel(DeviceHandle& handle) {
    if (handle == 0) return 0;
    DeviceIo::Close(handle);
    handle = 0;
    return 1;
}

IoResult IoTransfer(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer, std::uint32_t* bytes,
                    std::uint32_t code) {
    if (buffer == nullptr) return kIoNullBuffer;
    if (handle == 0) return kIoNullHandle;
    std::uint8_t selector[4];
    PutLE32(selector, pipe);
    std::uint32_t returned = 0;
    bool ok = DeviceIo::Control(handle, code, selector, sizeof selector, buffer, length, &returned);
    if (bytes != nullptr) *bytes = returned;
    return ok ? kIoDone : kIoFailed;
}

BlockResult SendBlock(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer) {
    return TransferBlock(handle, pipe, length, buffer, kIoctlInDirect);
}

BlockResult ReceiveBlock(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer) {
    return TransferBlock(handle, pipe, length, buffer, kIoctlOutDirect);
}

}  // namespace calidra
