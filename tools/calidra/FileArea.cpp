#include "FileArea.h"

#include <algorithm>
#include <ctime>

#include "RecordingFiles.h"

namespace calidra::tool {

bool FileArea::Prepare(std::string* error) const {
    std::error_code code;
    std::filesystem::create_directories(folder_, code);
    if (code || !std::filesystem::is_directory(folder_)) {
        *error = "cannot create the folder " + folder_.string() + (code ? ": " + code.message() : std::string());
        return false;
    }
    return true;
}

std::string FileArea::NewFile(std::string_view stem, std::string_view extension) {
    return Add(stem, extension, nullptr);
}

std::string FileArea::NewRecording(const RecordKind& kind) { return Add("recording", kind.extension, &kind); }

std::string FileArea::Add(std::string_view stem, std::string_view extension, const RecordKind* recording) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S", &local);
    const std::string base = std::string(stem) + stamp;
    std::lock_guard<std::mutex> guard(lock_);
    const std::vector<std::string> taken = NamesLocked();
    for (int n = 1;; ++n) {
        std::string name = base + (n > 1 ? "-" + std::to_string(n) : std::string()) + std::string(extension);
        std::error_code ignored;
        if (std::find(taken.begin(), taken.end(), name) == taken.end() &&
            !std::filesystem::exists(folder_ / name, ignored)) {
            entries_.push_back({name, recording});
            return name;
        }
    }
}

std::vector<std::string> FileArea::NamesLocked() const {
    std::vector<std::string> names;
    for (const Entry& entry : entries_) {
        names.push_back(entry.name);
        if (entry.recording == nullptr) continue;
        RecordingFiles recording((folder_ / entry.name).string(), *entry.recording);
        for (int n = 1;; ++n) {
            std::filesystem::path split(recording.SplitName(n));
            std::error_code ignored;
            if (!std::filesystem::exists(split, ignored)) break;
            names.push_back(split.filename().string());
        }
    }
    return names;
}

std::optional<std::filesystem::path> FileArea::Find(std::string_view name) const {
    std::lock_guard<std::mutex> guard(lock_);
    for (const std::string& known : NamesLocked()) {
        std::error_code ignored;
        if (known == name && std::filesystem::is_regular_file(folder_ / known, ignored)) return folder_ / known;
    }
    return std::nullopt;
}

std::vector<StoredFile> FileArea::List() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<StoredFile> files;
    for (const std::string& name : NamesLocked()) {
        std::error_code error;
        auto size = std::filesystem::file_size(folder_ / name, error);
        if (!error) files.push_back({name, static_cast<long long>(size)});
    }
    return files;
}

}  // namespace calidra::tool
