#include "platform/LargePageBuffer.h"

#include <windows.h>

namespace calidra {

// Large pages on Windows need the "lock pages in memory" privilege, which a
// camera application seldom has: the block is ordinary committed memory, which
// VirtualAlloc hands out zeroed.
bool LargePageBuffer::Allocate(std::size_t bytes) {
    Release();
    if (bytes == 0) return false;
    data_ = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (data_ == nullptr) return false;
    size_ = bytes;
    mapped_ = bytes;
    return true;
}

void LargePageBuffer::Release() {
    if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
    data_ = nullptr;
    size_ = 0;
    mapped_ = 0;
}

}  // namespace calidra
