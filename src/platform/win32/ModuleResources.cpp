// The resources of the module that holds this code: calidra.dll, or a test
// program built from the library's objects.
#include "platform/ModuleResources.h"

#include <windows.h>

namespace calidra {

namespace {

// Any address inside this module names the module.
const char kInThisModule = 0;

}  // namespace

ModuleResources& ModuleResources::Library() {
    static ModuleResources library([] {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&kInThisModule), &module);
        return static_cast<const void*>(module);
    }());
    return library;
}

bool ModuleResources::FindInModule(std::uint32_t id, const wchar_t* type, const std::uint8_t*& data,
                                   std::size_t& size) const {
    if (id > 0xFFFF) return false;  // resource ids are 16 bits
    HMODULE module = static_cast<HMODULE>(const_cast<void*>(module_));
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (resource == nullptr) return false;
    HGLOBAL loaded = LoadResource(module, resource);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) return false;
    data = static_cast<const std::uint8_t*>(bytes);
    size = SizeofResource(module, resource);
    return true;
}

}  // namespace calidra
