#include "platform/File.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "platform/TextConversion.h"

namespace calidra {

File::~File() { Close(); }

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::string File::SystemPath(const wchar_t* path) { return TextConversion::NarrowFromWide(path); }

bool File::Open(const wchar_t* path, int flags) {
    Close();
    if (path == nullptr) return false;
    std::string narrow = SystemPath(path);
    if (narrow.empty()) return false;
    do {
        fd_ = open(narrow.c_str(), flags | O_CLOEXEC, 0644);
    } while (fd_ < 0 && errno == EINTR);
    return fd_ >= 0;
}

bool File::OpenRead(const wchar_t* path) { return Open(path, O_RDONLY); }

bool File::OpenForWrite(const wchar_t* path) { return Open(path, O_WRONLY | O_CREAT | O_TRUNC); }

bool File::OpenAlways(const wchar_t* path) { return Open(path, O_WRONLY | O_CREAT); }

std::int64_t File::Read(void* buffer, std::size_t size) {
    if (fd_ < 0 || buffer == nullptr) return -1;
    std::size_t done = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (done < size) {
        ssize_t n = read(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool File::Write(const void* buffer, std::size_t size) {
    if (fd_ < 0 || (buffer == nullptr && size > 0)) return false;
    std::size_t done = 0;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (done < size) {
        ssize_t n = write(fd_, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Seek(std::uint64_t offset) {
    return fd_ >= 0 && lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

bool File::Truncate(std::uint64_t size) {
    if (fd_ < 0) return false;
    int result;
    do {
        result = ftruncate(fd_, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

std::uint64_t File::Position() const {
    if (fd_ < 0) return 0;
    off_t at = lseek(fd_, 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

std::int64_t File::Size() const {
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

void File::Close() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
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
