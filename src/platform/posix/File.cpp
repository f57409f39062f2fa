#include "platform/File.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/TextConversion.h"

namespace calidra {

std::string File::SystemPath(const wchar_t* path) { return TextConversion::NarrowFromWide(path); }

bool File::Open(const wchar_t* path, Mode mode) {
    Close();
    if (path == nullptr) return false;
    std::string narrow = SystemPath(path);
    if (narrow.empty()) return false;
    const int flags = mode == Mode::kRead               ? O_RDONLY
                      : mode == Mode::kTruncateOrCreate ? O_WRONLY | O_CREAT | O_TRUNC
                                                        : O_WRONLY | O_CREAT;
    int fd;
    do {
        fd = open(narrow.c_str(), flags | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    handle_ = fd < 0 ? kNone : fd;
    return fd >= 0;
}

std::int64_t File::Read(void* buffer, std::size_t size) {
    if (handle_ == kNone || buffer == nullptr) return -1;
    std::size_t done = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (done < size) {
        ssize_t n = read(static_cast<int>(handle_), bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool File::Write(const void* buffer, std::size_t size) {
    if (handle_ == kNone || (buffer == nullptr && size > 0)) return false;
    std::size_t done = 0;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (done < size) {
        ssize_t n = write(static_cast<int>(handle_), bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Seek(std::uint64_t offset) {
    return handle_ != kNone &&
           lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool File::Truncate(std::uint64_t size) {
    if (handle_ == kNone) return false;
    int result;
    do {
        result = ftruncate(static_cast<int>(handle_), static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

std::uint64_t File::Position() const {
    if (handle_ == kNone) return 0;
    off_t at = lseek(static_cast<int>(handle_), 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

std::int64_t File::Size() const {
    struct stat info {};
    if (handle_ == kNone || fstat(static_cast<int>(handle_), &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

void File::Close() {
    if (handle_ != kNone) {
        close(static_cast<int>(handle_));
        handle_ = kNone;
    }
}

std::FILE* File::OpenStream(const wchar_t* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    const std::string narrow = SystemPath(path);
    return narrow.empty() ? nullptr : std::fopen(narrow.c_str(), mode);
}

bool File::Remove(const wchar_t* path) {
    if (path == nullptr) return false;
    return unlink(SystemPath(path).c_str()) == 0;
}

bool File::Exists(const wchar_t* path) {
    struct stat info {};
    return path != nullptr && stat(SystemPath(path).c_str(), &info) == 0;
}

}  // namespace calidra
