// The channel primitives to the camera driver: open and close a device path,
// one synchronous control call, and the block send and receive built on it.
#pragma once

#include <cstdint>

#include "platform/DeviceIo.h"

namespace calidra {

// Control codes: FILE_DEVICE_UNKNOWN, functions 0x814 (METHOD_IN_DIRECT) and
// 0x813 (METHOD_OUT_DIRECT), any access.
constexpr std::uint32_t kIoctlInDirect = 0x222051;
constexpr std::uint32_t kIoctlOutDirect = 0x22204E;

// Pipe selectors: the direction of a transfer is the pipe's, not the code's.
constexpr std::uint32_t kPipeCommand = 0;
constexpr std::uint32_t kPipeReply = 1;
constexpr std::uint32_t kPipeFrame = 2;

// Block results.
constexpr int kBlockOk = 0;
constexpr int kBlockNoHandle = 10;
constexpr int kBlockFailed = 12;

// 1 with handle set when the path opens; 0 for no (null or empty) path or a
// failed open.
int OpenChannel(DeviceHandle& handle, const char* path);
// 0 when handle is already null; else closes it, nulls it and returns 1.
int CloseChannel(DeviceHandle& handle);
// One driver call with the 4-byte pipe selector as input: -2 null buffer, -3
// null handle, -1 the call failed, 0 done; *bytes gets the count returned.
int IoTransfer(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer, std::uint32_t* bytes,
               std::uint32_t code);
// 0 when exactly length bytes went (code 0x222051), 10 null handle, 12 failed
// or short.
int SendBlock(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer);
// The same with code 0x22204E.
int ReceiveBlock(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer);

}  // namespace calidra
