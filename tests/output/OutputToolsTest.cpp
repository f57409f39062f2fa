// The files we write, opened by the tools people use on them.
#include <gtest/gtest.h>

#include <string>

#include "output/OutputTestFiles.h"
#include "output/Recorder.h"
#include "output/StillPicture.h"
#include "pipeline/DibImage.h"

namespace calidra {
namespace {

using namespace test;

class OutputToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        still.raw = &raw;
        still.colour = &colour;
        recording.raw = &raw;
        recording.colour = &colour;
    }
    std::filesystem::path Save(unsigned type, bool flip = false) {
        const std::string file = "type" + std::to_string(type) + (flip ? "-flip" : "");
        EXPECT_EQ(SaveStillPicture(dir.Wide(file).c_str(), type, still, flip), 1) << type;
        return dir.Path(file);
    }
    std::string Run(const std::string& command, int expectedStatus = 0) {
        std::string output;
        EXPECT_EQ(RunTool(command, output, dir.Path("")), expectedStatus) << command << "\n" << output;
        return output;
    }

    ScratchDir dir;
    DibImage raw = RawFrame();
    DibImage colour = ColourFrame();
    StillFrame still;
    RecordingFrame recording;
};

TEST_F(OutputToolsTest, PngcheckAcceptsBothPngs) {
    if (!HaveTool("pngcheck")) GTEST_SKIP() << "pngcheck is not installed";
    std::string said = Run("pngcheck -v " + Quoted(Save(5)));
    EXPECT_NE(said.find("640 x 480 image, 24-bit RGB, non-interlaced"), std::string::npos) << said;
    said = Run("pngcheck -v " + Quoted(Save(8, true)));
    EXPECT_NE(said.find("640 x 480 image, 16-bit grayscale, non-interlaced"), std::string::npos) << said;
}

TEST_F(OutputToolsTest, TiffToolsSeeOneStripAndThePhotometry) {
    if (!HaveTool("tiffinfo") || !HaveTool("tiffdump")) GTEST_SKIP() << "libtiff tools are not installed";
    std::string said = Run("tiffinfo " + Quoted(Save(6)));
    EXPECT_NE(said.find("Image Width: 640 Image Length: 480"), std::string::npos) << said;
    EXPECT_NE(said.find("Bits/Sample: 8"), std::string::npos) << said;
    EXPECT_NE(said.find("Photometric Interpretation: RGB color"), std::string::npos) << said;
    EXPECT_NE(said.find("Compression Scheme: None"), std::string::npos) << said;
    EXPECT_NE(said.find("Rows/Strip: 480"), std::string::npos) << said;
    said = Run("tiffinfo " + Quoted(Save(9)));
    EXPECT_NE(said.find("Bits/Sample: 16"), std::string::npos) << said;
    EXPECT_NE(said.find("Photometric Interpretation: min-is-black"), std::string::npos) << said;
    said = Run("tiffdump " + Quoted(Save(9)));
    // One strip: StripOffsets (273) and StripByteCounts (279) hold one value each.
    EXPECT_NE(said.find("StripOffsets (273) LONG (4) 1<"), std::string::npos) << said;
    EXPECT_NE(said.find("StripByteCounts (279) LONG (4) 1<614400>"), std::string::npos) << said;
}

TEST_F(OutputToolsTest, DjpegDecodesProgressiveJpegs) {
    if (!HaveTool("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    for (unsigned type = 2; type <= 4; ++type) {
        const auto ppm = dir.Path("out.ppm");
        std::string said = Run("djpeg -verbose -outfile " + Quoted(ppm) + " " + Quoted(Save(type)));
        EXPECT_NE(said.find("Start Of Frame 0xc2: width=640, height=480, components=3"), std::string::npos) << said;
        EXPECT_EQ(std::filesystem::file_size(ppm), 15u + 921600u);  // "P6\n640 480\n255\n" and the pixels
    }
}

TEST_F(OutputToolsTest, FfprobeReadsEveryRecordedAvi) {
    if (!HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    Recorder recorder;
    const std::wstring name = dir.Wide("clip.avi");
    ASSERT_TRUE(recorder.Start(Recorder::kAvi, name.c_str(), recording));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(recorder.AfterFrame(Recorder::kAvi, name.c_str(), 2000, recording));
    recorder.Stop();
    const std::wstring empty = dir.Wide("empty.avi");
    ASSERT_TRUE(recorder.Start(Recorder::kAvi, empty.c_str(), recording));
    recorder.Stop();

    const std::string probe =
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,nb_read_frames -of default=noprint_wrappers=1 ";
    std::string said = Run(probe + Quoted(dir.Path("clip.avi")));
    EXPECT_NE(said.find("codec_name=rawvideo"), std::string::npos) << said;
    EXPECT_NE(said.find("width=640"), std::string::npos) << said;
    EXPECT_NE(said.find("height=480"), std::string::npos) << said;
    EXPECT_NE(said.find("nb_read_frames=5"), std::string::npos) << said;
    said = Run(probe + Quoted(dir.Path("empty.avi")));
    EXPECT_NE(said.find("width=640"), std::string::npos) << said;
}

}  // namespace
}  // namespace calidra
