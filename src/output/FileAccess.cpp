#include "output/FileAccess.h"

#include <new>

#include "platform/ModuleResources.h"

namespace calidra {

bool FileAccess::OpenedWith(bool opened) {
    std::int64_t size = opened ? file_.Size() : -1;
    if (size < 0) {
        Close();
        return false;
    }
    size_ = static_cast<std::uint64_t>(size);
    return true;
}

bool FileAccess::OpenForWrite(const wchar_t* path) {
    Close();
    return OpenedWith(file_.OpenForWrite(path));
}

bool FileAccess::OpenAlways(const wchar_t* path) {
    Close();
    return OpenedWith(file_.OpenAlways(path));
}

bool FileAccess::Write(const void* bytes, std::size_t count) { return file_.IsOpen() && file_.Write(bytes, count); }

bool FileAccess::Seek(std::uint64_t offset) { return file_.IsOpen() && file_.Seek(offset); }

bool FileAccess::Truncate(std::uint64_t size) { return file_.IsOpen() && file_.Truncate(size); }

bool FileAccess::SeekToEnd() {
    std::int64_t size = file_.Size();
    return size >= 0 && file_.Seek(static_cast<std::uint64_t>(size));
}

const std::uint8_t* FileAccess::Load(const ResourceName& name, const ModuleResources* module, const wchar_t* type) {
    Close();
    bool loaded =
        type != nullptr ? name.isId && LoadResource(name.id, module, type) : !name.isId && LoadFile(name.path);
    if (!loaded) {
        Close();
        return nullptr;
    }
    position_ = begin_;
    end_ = begin_ + size_;
    return begin_;
}

bool FileAccess::LoadResource(std::uint32_t id, const ModuleResources* module, const wchar_t* type) {
    const ModuleResources& from = module != nullptr ? *module : ModuleResources::Library();
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    if (!from.Find(id, type, data, size)) return false;
    begin_ = data;
    size_ = size;
    return true;
}

bool FileAccess::LoadFile(const wchar_t* path) {
    File file;
    if (!file.OpenRead(path)) return false;
    std::int64_t size = file.Size();
    if (size < 0 || static_cast<std::uint64_t>(size) > buffer_.max_size() - 1) return false;
    try {
        // One byte more, so that an empty file still has a first byte to point at.
        buffer_.resize(static_cast<std::size_t>(size) + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    // A file that gives fewer bytes than its size (it shrank, or the read
    // failed) is not loaded: the block would not be the whole file.
    if (file.Read(buffer_.data(), static_cast<std::size_t>(size)) != size) return false;
    begin_ = buffer_.data();
    size_ = static_cast<std::uint64_t>(size);
    return true;
}

void FileAccess::Close() {
    size_ = 0;
    begin_ = position_ = end_ = nullptr;
    std::vector<std::uint8_t>().swap(buffer_);
    file_.Close();
}

}  // namespace calidra
