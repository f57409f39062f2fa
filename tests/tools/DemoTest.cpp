// The demo that './run demo' runs: every step, and the files it leaves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ToolFixture.h"

namespace calidra::test {
namespace {

using ::testing::HasSubstr;

class Demo : public ToolFixture {};

TEST_F(Demo, EveryStepWorksAndTheFilesAreThere) {
    ProcessResult result = Run(BuiltPrograms::kDemo, {"--out", Path("out"), "--preview-seconds", "1", "--record-seconds", "1"},
                               std::chrono::seconds(180));
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("The demo worked: every step succeeded."));
    EXPECT_THAT(result.out, HasSubstr("0  CalidraVX_01  present"));
    const std::pair<std::string, long long> fixedSizes[] = {
        {"bmp.bmp", 921654},    {"color-raw.bgr", 921600}, {"raw.raw", 614400},       {"temp-s8.s8", 307200},
        {"temp-u8.u8", 307200}, {"temp-i32.i32", 1228800}, {"temp-f32.f32", 1228800}, {"correction.corset", 9830448},
    };
    for (const auto& [name, size] : fixedSizes) EXPECT_EQ(TestFiles::Size(Path("out/" + name)), size) << name;
    for (const std::string name :
         {"jpeg100.jpg", "jpeg70.jpg", "jpeg20.jpg", "png.png", "tiff.tif", "png16.png", "tiff16.tif"}) {
        EXPECT_GT(TestFiles::Size(Path("out/" + name)), 0) << name;
        // The closing table names every file.
        EXPECT_THAT(result.out, HasSubstr("   " + name + " ")) << name;
    }
    AviFacts avi = TestFiles::InspectAvi(Path("out/recording.avi"));
    EXPECT_TRUE(avi.finished);
    EXPECT_GT(avi.frames, 0);
    if (!FindProgram("ffprobe").empty()) {
        EXPECT_THAT(result.out, HasSubstr("ffprobe: rawvideo,640,480," + std::to_string(avi.frames)));
    }
}

TEST_F(Demo, NoCameraIsReportedWithItsCode) {
    ProcessResult result = Run(BuiltPrograms::kDemo, {"--out", Path("out"), "--sim-cameras", "none"});
    EXPECT_EQ(result.exitCode, 1) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("FAILED: no camera is present: ERR_CAMERA (2)"));
    EXPECT_THAT(result.out, HasSubstr("The demo finished with 1 failure:"));
}

}  // namespace
}  // namespace calidra::test
