// Brings an AVI recording whose process died back into shape: the recorder
// writes its headers when the file opens and one "00db" chunk per frame, but
// the sizes, the frame totals, the measured rate and the "idx1" index only
// when the recording ends. Repairing keeps every whole chunk, drops what
// follows the last one, writes the index of the chunks kept and patches the
// header as the recorder would have.
#pragma once

#include <cstdint>
#include <string>

namespace calidra::tool {

// What an AVI file of the recorder's layout holds.
struct AviContents {
    std::uint64_t bytes = 0;       // size of the file
    std::uint32_t frameBytes = 0;  // pixel bytes of one frame chunk
    std::uint32_t frames = 0;      // whole "00db" chunks, one after another from the first
    bool finished = false;         // sizes, totals and index agree with the file
};

class AviRepair {
public:
    // The recorder's nominal rate, in frames per 100 seconds.
    static constexpr std::uint32_t kNominalRate = 3000;

    // Reads the header of path and walks its chunks. false with *error set
    // when path cannot be read or does not start with the recorder's headers.
    static bool Inspect(const std::string& path, AviContents& contents, std::string* error);

    // Frames per 100 seconds over the time from the file's creation to its
    // last write, the way the recorder measures from its open to its close;
    // 0 when the file system keeps no creation time, no time has passed or
    // the file holds fewer than kMeasuredFrames frames.
    static std::uint32_t MeasuredRate(const std::string& path, std::uint32_t frames);
    static constexpr std::uint32_t kMeasuredFrames = 3;

    // Writes the finished form of path (its whole chunks, their index and the
    // patched header, with framesPer100Seconds as the rate; 0 means the
    // nominal rate) beside it, then puts it in its place.
    static bool Rebuild(const std::string& path, const AviContents& contents, std::uint32_t framesPer100Seconds,
                        std::string* error);
};

}  // namespace calidra::tool
