// calidra repair on recordings whose process died: the tool records into a
// file on the virtual camera and is killed with SIGKILL at a moment a seeded
// generator chooses; the repaired file must hold every whole frame, and other
// programs must read all of them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "ToolFixture.h"
#include "support/Lcg.h"

namespace calidra::test {
namespace {

using ::testing::HasSubstr;

constexpr long long kAviHeader = 232;
constexpr long long kChunk = 8 + 640 * 480 * 3;

std::uint32_t Le32(const std::vector<unsigned char>& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) return 0xDEADBEEFu;
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
}

class ToolRepair : public ToolFixture {
protected:
    // Records kind into name at fps until at least one whole frame (of
    // frameBytes, after header bytes) is in, up to four as random says, and a
    // little longer (mid-write or between two writes), then kills the tool.
    void RecordAndKill(const std::string& name, const std::string& kind, const std::string& fps, long long header,
                       long long frameBytes, Lcg& random) {
        ChildProcess child({BuiltPrograms::kTool, "record", "--kind", kind, "--sim-fps", fps, Path(name)}, dir_);
        ASSERT_TRUE(child.Started());
        const long long wanted = header + (1 + random.Next() % 4) * frameBytes;
        const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (TestFiles::Size(Path(name)) < wanted && std::chrono::steady_clock::now() < guard) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        // Only chooses the moment: any moment after the first whole frame must do.
        std::this_thread::sleep_for(std::chrono::milliseconds(random.Next() % 150));
        child.Signal(SIGKILL);
        ProcessResult killed = child.Wait(std::chrono::seconds(60));
        ASSERT_EQ(killed.exitCode, 128 + SIGKILL) << Describe(killed);
        ASSERT_GE(TestFiles::Size(Path(name)), wanted);
    }

    // What a program given one argument more than args prints; empty when it fails.
    std::string Output(const std::string& program, std::vector<std::string> args) {
        ProcessResult result = Run(program, std::move(args));
        EXPECT_EQ(result.exitCode, 0) << Describe(result);
        EXPECT_EQ(result.err, "") << program;
        return result.exitCode == 0 ? result.out : "";
    }
};

TEST_F(ToolRepair, KilledAviGetsSizesTotalsRateAndIndexOfItsWholeFrames) {
    const std::string ffprobe = FindProgram("ffprobe");
    const std::string ffmpeg = FindProgram("ffmpeg");
    if (ffprobe.empty() || ffmpeg.empty()) GTEST_SKIP() << "ffprobe and ffmpeg are not installed";
    for (std::uint64_t seed : {1, 2, 3}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Lcg random(seed);
        const std::string name = "killed-" + std::to_string(seed) + ".avi";
        ASSERT_NO_FATAL_FAILURE(RecordAndKill(name, "avi", "10", kAviHeader, kChunk, random));
        const std::vector<unsigned char> killed = TestFiles::Read(Path(name));
        ASSERT_FALSE(TestFiles::InspectAvi(Path(name)).finished);
        const std::uint32_t frames = static_cast<std::uint32_t>((killed.size() - kAviHeader) / kChunk);

        ProcessResult repair = Tool({"repair", Path(name)});
        ASSERT_EQ(repair.exitCode, 0) << Describe(repair);
        EXPECT_THAT(repair.out, HasSubstr(": " + std::to_string(frames) + " frames indexed at "));
        const std::vector<unsigned char> avi = TestFiles::Read(Path(name));
        const std::size_t index = kAviHeader + frames * kChunk;
        ASSERT_EQ(avi.size(), index + 8 + 16 * frames);
        EXPECT_TRUE(std::equal(avi.begin() + kAviHeader, avi.begin() + index, killed.begin() + kAviHeader));
        EXPECT_EQ(Le32(avi, 4), avi.size() - 8);
        EXPECT_EQ(Le32(avi, 48), frames);
        EXPECT_EQ(Le32(avi, 140), frames);
        EXPECT_EQ(Le32(avi, 224), 4 + frames * kChunk);
        EXPECT_EQ(std::memcmp(avi.data() + index, "idx1", 4), 0);
        EXPECT_EQ(Le32(avi, index + 4), 16 * frames);
        for (std::uint32_t k = 0; k < frames; ++k) {
            const std::size_t entry = index + 8 + 16 * k;
            EXPECT_EQ(std::memcmp(avi.data() + entry, "00db", 4), 0) << k;
            EXPECT_EQ(Le32(avi, entry + 4), 0x10u) << k;
            EXPECT_EQ(Le32(avi, entry + 8), 4 + k * kChunk) << k;
            EXPECT_EQ(Le32(avi, entry + 12), kChunk - 8) << k;
        }
        // The frame time in microseconds and in stream-scale units (a tenth of
        // them) agree, and tell the camera's 10 frames per second unless the
        // file system keeps no creation time to measure from.
        EXPECT_EQ(Le32(avi, 128) / 10, Le32(avi, 32));
        if (repair.out.find("measured") != std::string::npos) {
            EXPECT_NEAR(1e6 / Le32(avi, 32), 10.0, 5.0);
        } else {
            EXPECT_EQ(Le32(avi, 32), 33333u);
        }

        EXPECT_EQ(Output(ffprobe, {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                                   "stream=nb_frames,nb_read_frames", "-of", "csv=p=0", Path(name)}),
                  std::to_string(frames) + "," + std::to_string(frames) + "\n");
        Output(ffmpeg, {"-v", "error", "-i", Path(name), "-f", "null", "-"});

        ProcessResult again = Tool({"repair", Path(name)});
        EXPECT_EQ(again.exitCode, 0) << Describe(again);
        EXPECT_THAT(again.out, HasSubstr(" is finished (" + std::to_string(frames) + " frames); nothing to repair"));
        EXPECT_TRUE(TestFiles::Read(Path(name)) == avi);
    }
}

TEST_F(ToolRepair, KilledRawAndTemperatureStreamsAreCutToWholeFrames) {
    const std::pair<std::string, long long> kinds[] = {{"raw", 614400}, {"temp", 1228800}};
    Lcg random(7);
    for (const auto& [kind, frameBytes] : kinds) {
        SCOPED_TRACE(kind);
        const std::string name = "killed." + kind;
        ASSERT_NO_FATAL_FAILURE(RecordAndKill(name, kind, "60", 0, frameBytes, random));
        std::vector<unsigned char> killed = TestFiles::Read(Path(name));
        // A frame cut short, should the kill have come between two writes.
        if (killed.size() % frameBytes == 0) {
            killed.resize(killed.size() + 1000, 0x5A);
            TestFiles::Write(Path(name), killed);
        }
        ProcessResult repair = Tool({"repair", Path(name)});
        ASSERT_EQ(repair.exitCode, 0) << Describe(repair);
        EXPECT_THAT(repair.out, HasSubstr("bytes of an unfinished frame cut off"));
        const std::vector<unsigned char> whole = TestFiles::Read(Path(name));
        EXPECT_EQ(whole.size(), killed.size() / frameBytes * frameBytes);
        EXPECT_TRUE(std::equal(whole.begin(), whole.end(), killed.begin()));
        EXPECT_THAT(Tool({"repair", Path(name)}).out, HasSubstr("nothing to repair"));
    }
    // A headerless file whose name does not tell its kind is not guessed at,
    // and a file another program has open is not replaced under it.
    TestFiles::Write(Path("frames.bin"), std::vector<unsigned char>(1000));
    EXPECT_EQ(Tool({"repair", Path("frames.bin")}).exitCode, 2);
    std::ifstream reader(Path("frames.bin"));
    ProcessResult busy = Tool({"repair", "--kind", "raw", Path("frames.bin")});
    EXPECT_EQ(busy.exitCode, 4) << Describe(busy);
    EXPECT_EQ(TestFiles::Size(Path("frames.bin")), 1000);
}

}  // namespace
}  // namespace calidra::test
