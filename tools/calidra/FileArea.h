// The folder (--out) where calidra serve writes snapshots and recordings, and
// the only files it hands out: those it named itself in this run. A name in a
// request is only ever looked up among them, never joined to a path.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Catalog.h"

namespace calidra::tool {

struct StoredFile {
    std::string name;
    long long bytes = 0;
};

class FileArea {
public:
    explicit FileArea(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // Creates the folder when it is missing; false with a message otherwise.
    bool Prepare(std::string* error) const;
    const std::filesystem::path& Folder() const { return folder_; }

    // "snapshot-20261208-142501.png", or with "-2", "-3" ... when that name
    // is in the folder already. The name is kept as one of this run's files.
    std::string NewFile(std::string_view stem, std::string_view extension);
    // The same for a recording, whose continuation files (name_1.avi, ...)
    // belong to it too.
    std::string NewRecording(const RecordKind& kind);
    std::filesystem::path PathOf(const std::string& name) const { return folder_ / name; }

    // The path of one of this run's files that exists, by name.
    std::optional<std::filesystem::path> Find(std::string_view name) const;
    // This run's files that exist, oldest first.
    std::vector<StoredFile> List() const;

private:
    struct Entry {
        std::string name;
        const RecordKind* recording;  // nullptr for a snapshot
    };

    std::string Add(std::string_view stem, std::string_view extension, const RecordKind* recording);
    // With recordings' continuation files; lock_ held.
    std::vector<std::string> NamesLocked() const;

    const std::filesystem::path folder_;
    mutable std::mutex lock_;     // guards entries_
    std::vector<Entry> entries_;  // in the order they were named
};

}  // namespace calidra::tool
