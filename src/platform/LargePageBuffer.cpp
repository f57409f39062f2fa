#include "platform/LargePageBuffer.h"

#include <utility>

namespace calidra {

LargePageBuffer::LargePageBuffer(LargePageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

LargePageBuffer& LargePageBuffer::operator=(LargePageBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

}  // namespace calidra
