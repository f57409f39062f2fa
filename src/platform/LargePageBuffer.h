// A block of zeroed memory laid out in the system's large pages where it offers
// them (2 MiB on x86-64), so that reads scattered over the block do not each
// miss the address translation cache. Where large pages are not to be had the
// block is ordinary memory: nothing but speed depends on them.
#pragma once

#include <cstddef>

namespace calidra {

class LargePageBuffer {
public:
    LargePageBuffer() = default;
    ~LargePageBuffer() { Release(); }
    LargePageBuffer(const LargePageBuffer&) = delete;
    LargePageBuffer& operator=(const LargePageBuffer&) = delete;
    LargePageBuffer(LargePageBuffer&& other) noexcept;
    LargePageBuffer& operator=(LargePageBuffer&& other) noexcept;

    // Releases the block held, then maps bytes of zeros aligned to a large page.
    // false, and nothing held, when the system refuses the memory.
    bool Allocate(std::size_t bytes);
    void Release();

    void* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0;
};

}  // namespace calidra
