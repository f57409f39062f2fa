#include "platform/LargePageBuffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace calidra {

namespace {
constexpr std::size_t kLargePage = std::size_t{2} << 20;
}  // namespace

bool LargePageBuffer::Allocate(std::size_t bytes) {
    Release();
    if (bytes == 0 || bytes > SIZE_MAX - 2 * kLargePage) return false;
    const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    // One large page more than needed, so that an aligned stretch lies inside;
    // the ends outside it go back at once.
    const std::size_t span = rounded + kLargePage;
    void* mapping = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) return false;
    const auto start = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
    if (aligned > start) munmap(mapping, aligned - start);
    const std::uintptr_t end = start + span;
    if (end > aligned + rounded) munmap(reinterpret_cast<void*>(aligned + rounded), end - (aligned + rounded));
    data_ = reinterpret_cast<void*>(aligned);
    size_ = bytes;
    mapped_ = rounded;
    // Only advice: a system without transparent large pages ignores it.
    madvise(data_, mapped_, MADV_HUGEPAGE);
    return true;
}

void LargePageBuffer::Release() {
    if (data_ != nullptr) munmap(data_, mapped_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = 0;
}

}  // namespace calidra
