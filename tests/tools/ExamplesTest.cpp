// The examples, run as a newcomer runs them after building.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <regex>
#include <thread>

#include "DataSetFile.h"
#include "ToolFixture.h"

namespace calidra::test {
namespace {

using ::testing::HasSubstr;

class Examples : public ToolFixture {};

TEST_F(Examples, LiveLoopPrintsTheHottestPixelOfEachFrame) {
    ProcessResult result = Run(BuiltPrograms::kLiveHottest, {"10"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    const std::regex line("frame +([0-9]+): hottest pixel at x +([0-9]+), y +([0-9]+): (-?[0-9]+\\.[0-9]{2}) C");
    int frames = 0;
    for (auto it = std::sregex_iterator(result.out.begin(), result.out.end(), line); it != std::sregex_iterator();
         ++it) {
        ++frames;
        EXPECT_EQ(std::stoi((*it)[1]), frames);
        EXPECT_LT(std::stoi((*it)[2]), 640);
        EXPECT_LT(std::stoi((*it)[3]), 480);
        double degrees = std::stod((*it)[4]);
        EXPECT_GT(degrees, -50.0);
        EXPECT_LT(degrees, 500.0);
    }
    EXPECT_EQ(frames, 10);
}

TEST_F(Examples, RecordingStopsCleanlyAtTheTime) {
    ProcessResult result = Run(BuiltPrograms::kRecordAvi, {Path("clip.avi"), "1"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    AviFacts avi = TestFiles::InspectAvi(Path("clip.avi"));
    EXPECT_TRUE(avi.finished);
    EXPECT_GT(avi.frames, 0);
    EXPECT_THAT(result.out, HasSubstr(Path("clip.avi") + ": " + std::to_string(avi.frames) + " frames in "));
}

TEST_F(Examples, RecordingStopsCleanlyOnCtrlC) {
    ChildProcess child({BuiltPrograms::kRecordAvi, Path("long.avi"), "0"}, dir_);
    ASSERT_TRUE(child.Started());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (TestFiles::Size(Path("long.avi")) < 232 + 921608 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    child.Signal(SIGINT);
    ProcessResult result = child.Wait(std::chrono::seconds(60));
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("(Ctrl-C)"));
    AviFacts avi = TestFiles::InspectAvi(Path("long.avi"));
    EXPECT_TRUE(avi.finished);
    EXPECT_GE(avi.frames, 1);
}

TEST_F(Examples, DataSetCalibrationAndCorrectionFile) {
    DataSetFile::Write(Path("camera.dat"));
    ProcessResult result = Run(BuiltPrograms::kCorrectionData, {Path("camera.dat"), Path("sensor.corset")});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_EQ(TestFiles::Size(Path("sensor.corset")), 9830448);
    EXPECT_THAT(result.out, HasSubstr("correction saved in " + Path("sensor.corset")));
    EXPECT_TRUE(std::regex_search(result.out, std::regex("centre of frame [0-9]+ reads -?[0-9]+\\.[0-9]{2} C")));

    ProcessResult missing = Run(BuiltPrograms::kCorrectionData, {Path("absent.dat"), Path("x.corset")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("Calidra_SetTableA failed: ERR_FILE (9)"));
}

}  // namespace
}  // namespace calidra::test
