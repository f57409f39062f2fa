// Ownership of the open file; the calls on it are the platform's
// (posix/File.cpp, win32/File.cpp).
#include "platform/File.h"

#include <utility>

namespace calidra {

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNone);
    }
    return *this;
}

bool File::OpenRead(const wchar_t* path) { return Open(path, Mode::kRead); }

bool File::OpenForWrite(const wchar_t* path) { return Open(path, Mode::kTruncateOrCreate); }

bool File::OpenAlways(const wchar_t* path) { return Open(path, Mode::kOpenOrCreate); }

}  // namespace calidra
