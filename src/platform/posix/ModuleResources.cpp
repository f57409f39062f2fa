// Shared objects carry no resources: the library's blocks are added while it
// loads (src/resources).
#include "platform/ModuleResources.h"

namespace calidra {

ModuleResources& ModuleResources::Library() {
    static ModuleResources library;
    return library;
}

bool ModuleResources::FindInModule(std::uint32_t, const wchar_t*, const std::uint8_t*&, std::size_t&) const {
    return false;
}

}  // namespace calidra
