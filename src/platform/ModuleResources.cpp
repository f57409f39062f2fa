// Blocks added by their definers; the module's own resources are the
// platform's (posix/ModuleResources.cpp, win32/ModuleResources.cpp).
#include "platform/ModuleResources.h"

namespace calidra {

namespace {

wchar_t FoldCase(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

bool SameTypeName(const wchar_t* a, const wchar_t* b) {
    for (; *a != 0 && *b != 0; ++a, ++b) {
        if (FoldCase(*a) != FoldCase(*b)) return false;
    }
    return *a == *b;
}

}  // namespace

bool ModuleResources::Add(const ResourceBlock& block) {
    if (block.type == nullptr || block.type[0] == 0 || block.data == nullptr) return false;
    std::lock_guard<std::mutex> hold(blocksLock_);
    blocks_.push_back(block);
    return true;
}

bool ModuleResources::Find(std::uint32_t id, const wchar_t* type, const std::uint8_t*& data, std::size_t& size) const {
    if (type == nullptr) return false;
    {
        std::lock_guard<std::mutex> hold(blocksLock_);
        for (auto block = blocks_.rbegin(); block != blocks_.rend(); ++block) {
            if (block->id == id && SameTypeName(block->type, type)) {
                data = block->data;
                size = block->size;
                return true;
            }
        }
    }
    return module_ != nullptr && FindInModule(id, type, data, size);
}

}  // namespace calidra
