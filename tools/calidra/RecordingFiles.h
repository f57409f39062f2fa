// The files of one recording: the name given and the numbered files that a
// recording continues in when it reaches the size limit (name_1.avi, ...).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "Catalog.h"

namespace calidra::tool {

struct RecordingFile {
    std::string path;
    long long bytes = 0;
    long long frames = 0;  // whole frames in the file
    bool finished = true;  // AVI: header, index and sizes agree
};

class RecordingFiles {
public:
    RecordingFiles(std::string path, const RecordKind& kind);

    // The files of this recording written since `since`: the name itself, then
    // name_1, name_2, ... as long as they exist.
    std::vector<RecordingFile> Scan(std::filesystem::file_time_type since) const;
    // name_<n><extension> beside the name, as the library names split files.
    std::string SplitName(int n) const;

    // Frames and state of a finished or growing AVI file of this library.
    static RecordingFile InspectAvi(const std::string& path);

private:
    std::string path_;
    const RecordKind& kind_;
};

}  // namespace calidra::tool
