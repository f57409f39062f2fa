#include "output/WriterScratch.h"

#include <new>

namespace calidra {

std::uint8_t* WriterScratch::Get(std::size_t bytes) {
    if (buffer_.size() < bytes) {
        try {
            buffer_.resize(bytes);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return buffer_.data();
}

}  // namespace calidra
