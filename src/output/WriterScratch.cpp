#include "output/WriterScratch.h"

#include <new>
#include <vector>

namespace calidra {

std::uint8_t* WriterScratch::Get(std::size_t bytes) {
    thread_local std::vector<std::uint8_t> buffer;
    if (buffer.size() < bytes) {
        try {
            buffer.resize(bytes);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return buffer.data();
}

}  // namespace calidra
