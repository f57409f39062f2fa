// Whole-file and resource access: a file opened for writing, or one read-only
// block loaded whole from a file or taken from a module's built-in resources.
// Paths come in wide; the platform turns them into the system's paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/File.h"

namespace calidra {

class ModuleResources;

// What Load is given: a file's path, or the numeric id of a resource.
struct ResourceName {
    ResourceName(const wchar_t* path) : path(path) {}
    ResourceName(std::uint32_t id) : id(id), isId(true) {}

    const wchar_t* path = nullptr;
    std::uint32_t id = 0;
    bool isId = false;
};

class FileAccess {
public:
    FileAccess() = default;
    ~FileAccess() { Close(); }
    FileAccess(const FileAccess&) = delete;
    FileAccess& operator=(const FileAccess&) = delete;

    // Closes first, then empties an existing file or creates a missing one.
    // false (and closed) when the file cannot be opened.
    bool OpenForWrite(const wchar_t* path);
    // Closes first, then opens an existing file without emptying it, or creates
    // it; writing starts at the first byte. false (and closed) on failure.
    bool OpenAlways(const wchar_t* path);
    // Writes count bytes at the file position; true only when all were written.
    // false when no file is open.
    bool Write(const void* bytes, std::size_t count);
    // Moves the file position (for headers patched after the data); false when
    // no file is open or the move fails.
    bool Seek(std::uint64_t offset);
    bool SeekToEnd();
    // Cuts the open file to size bytes (the position stays); false when no
    // file is open or the cut fails.
    bool Truncate(std::uint64_t size);
    std::uint64_t FilePosition() const { return file_.Position(); }

    // Closes first. With a type: the resource name.id of that type in module
    // (the library's own when module is null); the block stays the module's.
    // Without a type: the whole file at name.path, read into a block this object
    // owns, the file closed at once. Returns the first byte (begin = position,
    // end = begin + Size(); an empty file gives begin = end), or null, closed,
    // when the resource or file is missing or cannot be read whole.
    const std::uint8_t* Load(const ResourceName& name, const ModuleResources* module = nullptr,
                             const wchar_t* type = nullptr);

    // Size 0, no block, buffer freed, file closed.
    void Close();

    bool IsOpen() const { return file_.IsOpen(); }
    // Size of the open file or of the loaded block.
    std::uint64_t Size() const { return size_; }
    const std::uint8_t* Begin() const { return begin_; }
    const std::uint8_t* Position() const { return position_; }
    const std::uint8_t* End() const { return end_; }

private:
    bool OpenedWith(bool opened);
    bool LoadResource(std::uint32_t id, const ModuleResources* module, const wchar_t* type);
    bool LoadFile(const wchar_t* path);

    File file_;
    std::vector<std::uint8_t> buffer_;
    const std::uint8_t* begin_ = nullptr;
    const std::uint8_t* position_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint64_t size_ = 0;
};

}  // namespace calidra
