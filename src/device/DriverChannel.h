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

// What a block send or receive gives back.
enum BlockResult : int { kBlockOk = 0, kBlockNoHandle = 10, kBlockFailed = 12 };
// What one driver call gives back.
enum IoResult : int { kIoDone = 0, kIoFailed = -1, kIoNullBuffer = -2, kIoNullHandle = -3 };

// 1 with handle set when the path opens; 0 for no (null or empty) path or a
// failed open.
int OpenChannel(DeviceHandle& handle, const char* path);
// 0 when handle is already null; else closes it, nulls it and returns 1.
int CloseChannel(DeviceHandle& handle);
// One driver call with the 4-byte pipe selector as input; *bytes gets the
// count returned.
IoResult IoTransfer(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer, std::uint32_t* bytes,
                    std::uint32_t code);
// kBlockOk only when exactly length bytes went (code 0x222051); a short
// transfer is kBlockFailed.
BlockResult SendBlock(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer);
// The same with code 0x22204E.
BlockResult ReceiveBlock(DeviceHandle handle, std::uint32_t pipe, std::uint32_t length, void* buffer);

}  // namespace calidra
