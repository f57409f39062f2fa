#include "ReplacementFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace calidra::tool {

namespace {

bool WriteAll(int fd, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

ReplacementFile::ReplacementFile(std::string target)
    : target_(std::move(target)), temporary_(target_ + ".repair-tmp") {}

ReplacementFile::~ReplacementFile() {
    if (source_ >= 0) ::close(source_);
    if (output_ >= 0) ::close(output_);
    if (!committed_) ::unlink(temporary_.c_str());
}

bool ReplacementFile::Fail(const std::string& what, std::string* error) const {
    if (error != nullptr) *error = what + ": " + std::strerror(errno);
    return false;
}

bool ReplacementFile::Open(std::string* error) {
    source_ = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    if (source_ < 0) return Fail("cannot read " + target_, error);
    // What another program still writes into the file after the rename would
    // be lost: a write lease is granted only while nobody else has it open.
    if (::fcntl(source_, F_SETLEASE, F_WRLCK) == 0) {
        ::fcntl(source_, F_SETLEASE, F_UNLCK);
    } else if (errno == EAGAIN || errno == EBUSY) {
        if (error != nullptr)
            *error =
                target_ + " is open in another program (is the recording still running?); try again once it is closed";
        return false;
    }
    struct stat status {};
    if (::fstat(source_, &status) != 0) return Fail("cannot read " + target_, error);
    // A new version left by an earlier repair that was itself cut short is ours to replace.
    output_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (output_ < 0) return Fail("cannot write " + temporary_, error);
    // The new version takes the old one's permissions and, where this user may
    // give it away, its owner and group.
    if (::fchmod(output_, status.st_mode & 07777) != 0) return Fail("cannot write " + temporary_, error);
    [[maybe_unused]] const int owned = ::fchown(output_, status.st_uid, status.st_gid);
    return true;
}

bool ReplacementFile::Write(const void* bytes, std::size_t count, std::string* error) {
    if (!WriteAll(output_, static_cast<const unsigned char*>(bytes), count))
        return Fail("cannot write " + temporary_, error);
    return true;
}

bool ReplacementFile::CopyFromTarget(std::uint64_t offset, std::uint64_t count, std::string* error) {
    // The kernel copies without the bytes passing through here (and shares
    // the blocks where the file system can); a plain read and write otherwise.
    auto from = static_cast<off_t>(offset);
    while (count > 0) {
        const ssize_t copied = ::copy_file_range(source_, &from, output_, nullptr, count, 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied <= 0) break;
        count -= static_cast<std::uint64_t>(copied);
    }
    std::vector<unsigned char> buffer(count > 0 ? std::size_t{1} << 22 : 0);
    while (count > 0) {
        const std::size_t want = count < buffer.size() ? static_cast<std::size_t>(count) : buffer.size();
        const ssize_t got = ::pread(source_, buffer.data(), want, from);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return Fail("cannot read " + target_, error);
        if (!WriteAll(output_, buffer.data(), static_cast<std::size_t>(got)))
            return Fail("cannot write " + temporary_, error);
        from += got;
        count -= static_cast<std::uint64_t>(got);
    }
    return true;
}

bool ReplacementFile::Commit(std::string* error) {
    if (::fsync(output_) != 0) return Fail("cannot write " + temporary_, error);
    if (::close(output_) != 0) {
        output_ = -1;
        return Fail("cannot write " + temporary_, error);
    }
    output_ = -1;
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail("cannot replace " + target_, error);
    committed_ = true;
    // The new name is on the disk too once the folder is.
    std::string folder = std::filesystem::path(target_).parent_path().string();
    const int directory = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

}  // namespace calidra::tool
