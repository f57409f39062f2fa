// The calidra tool's commands that take pictures, record and calibrate, run on
// the virtual camera the way a user runs them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <cstring>
#include <regex>
#include <thread>

#include "DataSetFile.h"
#include "ToolFixture.h"

namespace calidra::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr std::size_t kRawBytes = 640 * 480 * 2;

// Stored row `row` of a raw file, as levels.
std::vector<std::uint16_t> RawRow(const std::vector<unsigned char>& bytes, int row) {
    std::vector<std::uint16_t> levels(640);
    for (int column = 0; column < 640; ++column) {
        const unsigned char* p = bytes.data() + (std::size_t(row) * 640 + column) * 2;
        levels[column] = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    return levels;
}

class ToolSnap : public ToolFixture {
protected:
    // A --sim-frame file holding the test pattern.
    std::string PatternFile() {
        std::string path = Path("pattern.raw");
        TestFiles::Write(path, TestFiles::RawBytes(TestFiles::PatternFrame(1)));
        return path;
    }
};

TEST_F(ToolSnap, AllFourteenTypesHaveTheirSizesAndSignatures) {
    ProcessResult result = Tool({"snap", "--all", Path("stills")});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    const std::pair<std::string, long long> fixedSizes[] = {
        {"bmp.bmp", 921654},    {"color-raw.bgr", 921600}, {"raw.raw", 614400},       {"temp-s8.s8", 307200},
        {"temp-u8.u8", 307200}, {"temp-i32.i32", 1228800}, {"temp-f32.f32", 1228800},
    };
    for (const auto& [name, size] : fixedSizes) EXPECT_EQ(TestFiles::Size(Path("stills/" + name)), size) << name;

    std::vector<unsigned char> bmp = TestFiles::Read(Path("stills/bmp.bmp"));
    ASSERT_GE(bmp.size(), 14u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(bmp[10], 54);
    for (const std::string name : {"png.png", "png16.png"}) {
        std::vector<unsigned char> png = TestFiles::Read(Path("stills/" + name));
        ASSERT_GE(png.size(), 8u) << name;
        EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0) << name;
    }
    for (const std::string name : {"jpeg100.jpg", "jpeg70.jpg", "jpeg20.jpg"}) {
        std::vector<unsigned char> jpeg = TestFiles::Read(Path("stills/" + name));
        ASSERT_GE(jpeg.size(), 2u) << name;
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        // A progressive frame header (SOF2) is somewhere in the headers.
        bool progressive = false;
        for (std::size_t i = 0; i + 1 < jpeg.size() && !progressive; ++i)
            progressive = jpeg[i] == 0xFF && jpeg[i + 1] == 0xC2;
        EXPECT_TRUE(progressive) << name;
    }
    for (const std::string name : {"tiff.tif", "tiff16.tif"}) {
        std::vector<unsigned char> tiff = TestFiles::Read(Path("stills/" + name));
        ASSERT_GE(tiff.size(), 4u) << name;
        EXPECT_TRUE(std::memcmp(tiff.data(), "II*\0", 4) == 0 || std::memcmp(tiff.data(), "MM\0*", 4) == 0) << name;
    }
    EXPECT_THAT(result.out, HasSubstr("wrote " + Path("stills/raw.raw") + " (raw, 614,400 bytes)"));
}

TEST_F(ToolSnap, SimFrameComesBackExactlyInRawFiles) {
    const std::string pattern = PatternFile();
    const std::vector<unsigned char> expected = TestFiles::Read(pattern);
    // Preview, then one-shot: both store the picture the camera sees, level
    // for level, bottom row first.
    ProcessResult preview = Tool({"snap", "--sim-frame", pattern, "--format", "raw", Path("preview.raw")});
    ASSERT_EQ(preview.exitCode, 0) << Describe(preview);
    EXPECT_TRUE(TestFiles::Read(Path("preview.raw")) == expected);

    ProcessResult oneShot = Tool({"snap", "--one-shot", "--sim-frame", pattern, "--format", "raw", Path("shot.raw")});
    ASSERT_EQ(oneShot.exitCode, 0) << Describe(oneShot);
    EXPECT_TRUE(TestFiles::Read(Path("shot.raw")) == expected);
}

TEST_F(ToolSnap, FlipReversesTheRows) {
    const std::string pattern = PatternFile();
    ProcessResult result =
        Tool({"snap", "--one-shot", "--flip", "--sim-frame", pattern, "--format", "raw", Path("flipped.raw")});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    std::vector<unsigned char> original = TestFiles::Read(pattern);
    std::vector<unsigned char> flipped = TestFiles::Read(Path("flipped.raw"));
    ASSERT_EQ(flipped.size(), kRawBytes);
    EXPECT_EQ(RawRow(flipped, 0), RawRow(original, 479));
    EXPECT_EQ(RawRow(flipped, 479), RawRow(original, 0));
}

TEST_F(ToolSnap, TriggerWaitsForTheEdge) {
    ProcessResult pulsed = Tool({"snap", "--trigger", "--sim-trigger", "--format", "raw", Path("t.raw")});
    EXPECT_EQ(pulsed.exitCode, 0) << Describe(pulsed);
    EXPECT_EQ(TestFiles::Size(Path("t.raw")), 614400);

    // No edge within 3 s: the failure names ERR_FRAME, not the ERR_UNSUPPORTED
    // event every trigger capture records.
    ProcessResult silent = Tool({"snap", "--trigger", "--format", "raw", Path("none.raw")});
    EXPECT_EQ(silent.exitCode, 1) << Describe(silent);
    EXPECT_THAT(silent.err, HasSubstr("Calidra_Trigger failed: ERR_FRAME (3)"));
    EXPECT_THAT(silent.err, Not(HasSubstr("ERR_UNSUPPORTED")));
}

TEST_F(ToolSnap, DataSetAndCorrectionFilesAreLoadedFirst) {
    const std::string dataSet = Path("camera.dat");
    DataSetFile::Write(dataSet);
    ProcessResult loaded = Tool({"snap", "--data-set", dataSet, "--nuc", "--format", "png", Path("d.png")});
    EXPECT_EQ(loaded.exitCode, 0) << Describe(loaded);
    EXPECT_THAT(loaded.out, HasSubstr("calibration done"));

    ProcessResult missing = Tool({"snap", "--data-set", Path("absent.dat"), Path("x.png")});
    EXPECT_EQ(missing.exitCode, 1) << Describe(missing);
    EXPECT_THAT(missing.err, HasSubstr("Calidra_SetTableA failed: ERR_FILE (9): a file could not be read or written"));

    ProcessResult badCorrection = Tool({"snap", "--nuc-data", dataSet, Path("y.png")});
    EXPECT_EQ(badCorrection.exitCode, 1) << Describe(badCorrection);
    EXPECT_THAT(badCorrection.err, HasSubstr("Calidra_LoadNucDataA failed: ERR_FILE (9)"));
}

class ToolRecord : public ToolFixture {};

TEST_F(ToolRecord, AviIsFinishedAndCounted) {
    ProcessResult result = Tool({"record", "--seconds", "1.5", Path("clip.avi")});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    AviFacts avi = TestFiles::InspectAvi(Path("clip.avi"));
    EXPECT_TRUE(avi.finished);
    EXPECT_GT(avi.frames, 0);
    EXPECT_THAT(result.out, HasSubstr("recorded " + std::to_string(avi.frames) + " frames in "));
    EXPECT_THAT(result.out, HasSubstr(Path("clip.avi") + "  " + std::to_string(avi.frames) + " frames"));
    // No terminal, no progress line.
    EXPECT_THAT(result.out, Not(HasSubstr("\r")));
}

TEST_F(ToolRecord, RawAndTempStreamsHoldWholeFrames) {
    ProcessResult raw = Tool({"record", "--kind", "raw", "--frames", "5", Path("clip.raw")});
    ASSERT_EQ(raw.exitCode, 0) << Describe(raw);
    long long rawSize = TestFiles::Size(Path("clip.raw"));
    EXPECT_EQ(rawSize % 614400, 0);
    EXPECT_GE(rawSize / 614400, 5);

    ProcessResult temp = Tool({"record", "--kind", "temp", "--frames", "3", Path("clip.temp")});
    ASSERT_EQ(temp.exitCode, 0) << Describe(temp);
    long long tempSize = TestFiles::Size(Path("clip.temp"));
    EXPECT_EQ(tempSize % 1228800, 0);
    EXPECT_GE(tempSize / 1228800, 3);
    EXPECT_THAT(temp.out, HasSubstr("recorded " + std::to_string(tempSize / 1228800) + " frames"));
}

TEST_F(ToolRecord, SizeLimitContinuesInNumberedFiles) {
    // Two frames pass 1 MiB, so every file but the last holds two.
    ProcessResult result = Tool({"record", "--limit-mib", "1", "--frames", "5", Path("split.avi")});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    std::vector<AviFacts> files = {TestFiles::InspectAvi(Path("split.avi"))};
    for (int n = 1; TestFiles::Size(Path("split_" + std::to_string(n) + ".avi")) >= 0; ++n) {
        files.push_back(TestFiles::InspectAvi(Path("split_" + std::to_string(n) + ".avi")));
    }
    ASSERT_GE(files.size(), 3u);
    long long total = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(files[i].finished) << i;
        if (i + 1 < files.size()) {
            EXPECT_EQ(files[i].frames, 2) << i;
        }
        total += files[i].frames;
    }
    EXPECT_GE(total, 5);
    EXPECT_THAT(result.out, HasSubstr("recorded " + std::to_string(total) + " frames in "));
    EXPECT_THAT(result.out, HasSubstr(" into " + std::to_string(files.size()) + " files, "));
}

TEST_F(ToolRecord, CtrlCLeavesAFinishedFile) {
    ChildProcess child({BuiltPrograms::kTool, "record", Path("long.avi")}, dir_);
    ASSERT_TRUE(child.Started());
    // Wait (as a hang guard, generously) until frames are in the file.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (TestFiles::Size(Path("long.avi")) < 232 + 2 * 921608 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    child.Signal(SIGINT);
    ProcessResult result = child.Wait(std::chrono::seconds(60));
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("stopped by Ctrl-C"));
    AviFacts avi = TestFiles::InspectAvi(Path("long.avi"));
    EXPECT_TRUE(avi.finished);
    EXPECT_GE(avi.frames, 2);
}

TEST_F(ToolRecord, UnwritableFileNamesErrFile) {
    ProcessResult result = Tool({"record", "--seconds", "2", Path("no-such-folder/clip.avi")});
    EXPECT_EQ(result.exitCode, 1) << Describe(result);
    EXPECT_THAT(result.err, HasSubstr("could not be opened: ERR_FILE (9)"));
}

class ToolStreamTest : public ToolFixture {};

TEST_F(ToolStreamTest, ReportsFramesAndThePreviewEvent) {
    ProcessResult result = Tool({"stream-test", "--seconds", "2"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(result.out, match, std::regex("frames received      ([0-9]+)\n")));
    EXPECT_GT(std::stoi(match[1]), 0);
    EXPECT_THAT(result.out, HasSubstr("duplicate frame ids  0\n"));
    EXPECT_THAT(result.out,
                HasSubstr("error code           ERR_UNSUPPORTED (10): the call or parameter is not supported by this "
                          "camera  x1\n"));
}

class ToolNuc : public ToolFixture {};

TEST_F(ToolNuc, CalibrationLetsFramesFlowAgain) {
    ProcessResult result = Tool({"nuc"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("calibration done; frames flowed again after "));
    EXPECT_THAT(result.out, HasSubstr("internal temperature "));
}

TEST_F(ToolNuc, CorrectionDataIsSavedAndLoadsBack) {
    ProcessResult save = Tool({"nuc-data", "save", "--nuc", Path("sensor.corset")});
    ASSERT_EQ(save.exitCode, 0) << Describe(save);
    std::vector<unsigned char> file = TestFiles::Read(Path("sensor.corset"));
    ASSERT_EQ(file.size(), 9830448u);
    EXPECT_EQ(std::memcmp(file.data(), "VL-CORSET-V1020\0", 16), 0);
    EXPECT_THAT(save.out, HasSubstr("(9,830,448 bytes)"));

    ProcessResult load = Tool({"nuc-data", "load", Path("sensor.corset")});
    EXPECT_EQ(load.exitCode, 0) << Describe(load);
    ProcessResult missing = Tool({"nuc-data", "load", Path("absent.corset")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("ERR_FILE (9)"));
}

}  // namespace
}  // namespace calidra::test
