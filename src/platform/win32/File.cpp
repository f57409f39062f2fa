#include "platform/File.h"

#include <windows.h>

#include <climits>
#include <cwchar>
#include <string>

#include "platform/TextConversion.h"

namespace calidra {

namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// One call moves at most this much; larger requests take several.
constexpr std::size_t kChunk = 1u << 30;

}  // namespace

std::string File::SystemPath(const wchar_t* path) { return TextConversion::NarrowFromWide(path); }

bool File::Open(const wchar_t* path, Mode mode) {
    Close();
    if (path == nullptr || path[0] == 0) return false;
    // Readers may look at a file while it is written (a growing recording);
    // no second writer may.
    HANDLE file;
    if (mode == Mode::kRead) {
        file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    } else if (mode == Mode::kTruncateOrCreate) {
        file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file == INVALID_HANDLE_VALUE)
            file =
                CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    } else {
        file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

std::int64_t File::Read(void* buffer, std::size_t size) {
    if (handle_ == kNone || buffer == nullptr) return -1;
    std::size_t done = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (done < size) {
        DWORD n = 0;
        const DWORD ask = static_cast<DWORD>(size - done < kChunk ? size - done : kChunk);
        if (!ReadFile(AsHandle(handle_), bytes + done, ask, &n, nullptr)) return -1;
        if (n == 0) break;
        done += n;
    }
    return static_cast<std::int64_t>(done);
}

bool File::Write(const void* buffer, std::size_t size) {
    if (handle_ == kNone || (buffer == nullptr && size > 0)) return false;
    std::size_t done = 0;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (done < size) {
        DWORD n = 0;
        const DWORD ask = static_cast<DWORD>(size - done < kChunk ? size - done : kChunk);
        if (!WriteFile(AsHandle(handle_), bytes + done, ask, &n, nullptr) || n == 0) return false;
        done += n;
    }
    return true;
}

bool File::Seek(std::uint64_t offset) {
    if (handle_ == kNone || offset > static_cast<std::uint64_t>(LLONG_MAX)) return false;
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN) != 0;
}

bool File::Truncate(std::uint64_t size) {
    if (handle_ == kNone) return false;
    // SetEndOfFile cuts at the position, so move there and back.
    const std::uint64_t at = Position();
    return Seek(size) && SetEndOfFile(AsHandle(handle_)) != 0 && Seek(at);
}

std::uint64_t File::Position() const {
    if (handle_ == kNone) return 0;
    LARGE_INTEGER zero{}, at{};
    if (!SetFilePointerEx(AsHandle(handle_), zero, &at, FILE_CURRENT)) return 0;
    return static_cast<std::uint64_t>(at.QuadPart);
}

std::int64_t File::Size() const {
    LARGE_INTEGER size{};
    if (handle_ == kNone || !GetFileSizeEx(AsHandle(handle_), &size)) return -1;
    return size.QuadPart;
}

void File::Close() {
    if (handle_ != kNone) {
        CloseHandle(AsHandle(handle_));
        handle_ = kNone;
    }
}

std::FILE* File::OpenStream(const wchar_t* path, const char* mode) {
    if (path == nullptr || path[0] == 0 || mode == nullptr) return nullptr;
    std::wstring wideMode;
    for (const char* c = mode; *c != 0; ++c) wideMode.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
    return _wfopen(path, wideMode.c_str());
}

bool File::Remove(const wchar_t* path) { return path != nullptr && DeleteFileW(path) != 0; }

bool File::Exists(const wchar_t* path) {
    return path != nullptr && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace calidra
