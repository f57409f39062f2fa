// A new version of a file, written beside it under a name of its own and put
// in its place only once it is complete and on the disk: whatever stops the
// writing before Commit (an error, a full disk, a killed process, a power
// cut), the original file stays exactly as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace calidra::tool {

class ReplacementFile {
public:
    explicit ReplacementFile(std::string target);
    // Removes the new version when it was not committed.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates the new version, with the target's permissions, and opens the
    // target for reading. false with *error set when either fails.
    bool Open(std::string* error);
    bool Write(const void* bytes, std::size_t count, std::string* error);
    // Appends count bytes of the target, from offset on.
    bool CopyFromTarget(std::uint64_t offset, std::uint64_t count, std::string* error);
    // Puts the new version on the disk and renames it over the target.
    bool Commit(std::string* error);

    // Where the new version is written: beside the target.
    const std::string& TemporaryPath() const { return temporary_; }

private:
    bool Fail(const std::string& what, std::string* error) const;

    std::string target_;
    std::string temporary_;
    int source_ = -1;
    int output_ = -1;
    bool committed_ = false;
};

}  // namespace calidra::tool
