// The read-only data blocks built into a module, found by type name and numeric
// id. On Windows the library's module is the DLL (or program) itself, read with
// FindResourceW, LoadResource, LockResource and SizeofResource; elsewhere the
// code that defines the blocks adds them while the library is loaded. The
// platform knows nothing of the blocks' content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace calidra {

// One block as its definer hands it over. type and data must outlive the module
// (they are static data in practice); nothing is copied.
struct ResourceBlock {
    const wchar_t* type = nullptr;
    std::uint32_t id = 0;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

class ModuleResources {
public:
    ModuleResources() = default;
    ModuleResources(const ModuleResources&) = delete;
    ModuleResources& operator=(const ModuleResources&) = delete;

    // The library's own module: the blocks built into libcalidra or calidra.dll.
    static ModuleResources& Library();

    // Adds a block; a later block of the same type and id hides the earlier one.
    // false when type is null or empty, or data is null.
    bool Add(const ResourceBlock& block);

    // The block of that id whose type name matches type (ASCII letters compare
    // without regard to case, as resource type names do); blocks added here
    // come before the module's own resources. false, with data and size
    // untouched, when type is null or no such block exists.
    bool Find(std::uint32_t id, const wchar_t* type, const std::uint8_t*& data, std::size_t& size) const;

private:
    // module: the platform's handle of a loaded module whose resources Find
    // also reads; null for none.
    explicit ModuleResources(const void* module) : module_(module) {}
    bool FindInModule(std::uint32_t id, const wchar_t* type, const std::uint8_t*& data, std::size_t& size) const;

    const void* module_ = nullptr;
    mutable std::mutex blocksLock_;
    std::vector<ResourceBlock> blocks_;
};

}  // namespace calidra
