// Files the process tests make and look into: scratch folders, raw frames,
// finished AVI files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace calidra::test {

struct AviFacts {
    bool finished = false;  // RIFF size, header counts and "idx1" agree with the file
    long long frames = 0;
    long long bytes = 0;
};

class TestFiles {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    // An empty folder of its own for one test.
    static std::string ScratchDir(const std::string& name);
    static std::vector<unsigned char> Read(const std::string& path);
    static void Write(const std::string& path, const std::vector<unsigned char>& bytes);
    static long long Size(const std::string& path);  // -1 when missing

    // A frame of 14-bit levels in stored order (bottom row first): every row
    // and every column differs, so row order and position show.
    static std::vector<std::uint16_t> PatternFrame(int seed);
    static std::vector<unsigned char> RawBytes(const std::vector<std::uint16_t>& levels);

    static AviFacts InspectAvi(const std::string& path);
};

// The programs under test, where this build put them. Their paths are compiled
// into TestFiles.cpp alone, so the test sources compile the same in every clone.
struct BuiltPrograms {
    static const char* const kTool;
    static const char* const kDemo;
    static const char* const kLiveHottest;
    static const char* const kRecordAvi;
    static const char* const kCorrectionData;
};

}  // namespace calidra::test
