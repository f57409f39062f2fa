#include "output/AviWriter.h"

#include <gtest/gtest.h>

#include <vector>

#include "output/OutputTestFiles.h"

namespace calidra {
namespace {

using test::Le32At;
using test::ReadAll;
using test::ScratchDir;
using test::TextAt;

constexpr std::uint32_t kColourFrame = 921600;

std::vector<std::uint8_t> FramePixels(std::uint8_t seed) {
    std::vector<std::uint8_t> pixels(kColourFrame);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return pixels;
}

TEST(AviWriterHeaders, OpenedFileHoldsEveryHeaderValue) {
    ScratchDir dir;
    AviWriter avi;
    ASSERT_TRUE(avi.Open(dir.Wide("a.avi").c_str(), 640, 480, 24));
    EXPECT_EQ(avi.RiffBytes(), 224u);
    EXPECT_EQ(avi.MoviBytes(), 4u);
    EXPECT_EQ(avi.FrameSize(), kColourFrame);
    avi.Close();  // unfinished: the bytes of the opening stay as written
    auto bytes = ReadAll(dir.Path("a.avi"));
    ASSERT_EQ(bytes.size(), 232u);
    EXPECT_EQ(TextAt(bytes, 0, 4), "RIFF");
    EXPECT_EQ(Le32At(bytes, 4), 0u);
    EXPECT_EQ(TextAt(bytes, 8, 8), "AVI LIST");
    EXPECT_EQ(Le32At(bytes, 16), 200u);
    EXPECT_EQ(TextAt(bytes, 20, 8), "hdrlavih");
    EXPECT_EQ(Le32At(bytes, 28), 56u);
    EXPECT_EQ(Le32At(bytes, 32), 33333u);
    EXPECT_EQ(Le32At(bytes, 40), 0u);
    EXPECT_EQ(Le32At(bytes, 44), 0x10010u);
    EXPECT_EQ(Le32At(bytes, 48), 0u);
    EXPECT_EQ(Le32At(bytes, 52), 0u);
    EXPECT_EQ(Le32At(bytes, 56), 1u);
    EXPECT_EQ(Le32At(bytes, 60), kColourFrame + 8);
    EXPECT_EQ(Le32At(bytes, 64), 640u);
    EXPECT_EQ(Le32At(bytes, 68), 480u);
    for (std::size_t at = 72; at < 88; at += 4) EXPECT_EQ(Le32At(bytes, at), 0u) << at;
    EXPECT_EQ(TextAt(bytes, 88, 4), "LIST");
    EXPECT_EQ(Le32At(bytes, 92), 124u);
    EXPECT_EQ(TextAt(bytes, 96, 8), "strlstrh");
    EXPECT_EQ(Le32At(bytes, 104), 64u);
    EXPECT_EQ(TextAt(bytes, 108, 8), "vidsDIB ");
    EXPECT_EQ(Le32At(bytes, 116), 0u);
    EXPECT_EQ(Le32At(bytes, 120), 0u);  // priority and language
    EXPECT_EQ(Le32At(bytes, 124), 0u);
    EXPECT_EQ(Le32At(bytes, 128), 333333u);
    EXPECT_EQ(Le32At(bytes, 132), 10000000u);
    EXPECT_EQ(Le32At(bytes, 136), 0u);
    EXPECT_EQ(Le32At(bytes, 140), 0u);
    EXPECT_EQ(Le32At(bytes, 144), kColourFrame + 8);
    for (std::size_t at = 148; at < 172; at += 4) EXPECT_EQ(Le32At(bytes, at), 0u) << at;
    EXPECT_EQ(TextAt(bytes, 172, 4), "strf");
    EXPECT_EQ(Le32At(bytes, 176), 40u);
    EXPECT_EQ(Le32At(bytes, 180), 40u);
    EXPECT_EQ(Le32At(bytes, 184), 640u);
    EXPECT_EQ(Le32At(bytes, 188), 480u);
    EXPECT_EQ(GetLE16(bytes.data() + 192), 1u);
    EXPECT_EQ(GetLE16(bytes.data() + 194), 24u);
    for (std::size_t at = 196; at < 220; at += 4) EXPECT_EQ(Le32At(bytes, at), 0u) << at;
    EXPECT_EQ(TextAt(bytes, 220, 4), "LIST");
    EXPECT_EQ(Le32At(bytes, 224), 0u);
    EXPECT_EQ(TextAt(bytes, 228, 4), "movi");
}

TEST(AviWriterHeaders, RefusesWhatCannotBeWritten) {
    ScratchDir dir;
    AviWriter avi;
    EXPECT_FALSE(avi.Open(nullptr, 640, 480, 24));
    EXPECT_FALSE(avi.Open(dir.Wide("a.avi").c_str(), 0, 480, 24));
    EXPECT_FALSE(avi.Open(dir.Wide("a.avi").c_str(), 640, -1, 24));
    EXPECT_FALSE(avi.Open(dir.Wide("a.avi").c_str(), 640, 480, 12));
    // 65,536 x 65,536 at 32 bits is a 16 GiB frame: never below 4 GiB.
    EXPECT_FALSE(avi.Open(dir.Wide("a.avi").c_str(), 65536, 65536, 32));
    EXPECT_FALSE(avi.Open(dir.Wide("missing-dir/a.avi").c_str(), 640, 480, 24));
    EXPECT_FALSE(avi.IsOpen());
    EXPECT_EQ(avi.RiffBytes(), 0u);
    EXPECT_FALSE(avi.AppendFrame(FramePixels(0).data()));
}

TEST(AviWriterFinish, IndexFollowsTheLastChunkAndTotalsArePatched) {
    ScratchDir dir;
    AviWriter avi;
    ASSERT_TRUE(avi.Open(dir.Wide("three.avi").c_str(), 640, 480, 24));
    for (std::uint8_t i = 0; i < 3; ++i) ASSERT_TRUE(avi.AppendFrame(FramePixels(i).data()));
    EXPECT_EQ(avi.FrameCount(), 3u);
    EXPECT_EQ(avi.RiffBytes(), 224u + 3 * 921608u);
    ASSERT_TRUE(avi.Finish(3000));
    EXPECT_FALSE(avi.IsOpen());
    EXPECT_EQ(avi.RiffBytes(), 0u);

    auto bytes = ReadAll(dir.Path("three.avi"));
    const std::size_t idx = 232 + 3 * 921608;
    ASSERT_EQ(bytes.size(), idx + 8 + 3 * 16);
    EXPECT_EQ(Le32At(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32At(bytes, 224), 4u + 3 * 921608u);
    EXPECT_EQ(Le32At(bytes, 48), 3u);
    EXPECT_EQ(Le32At(bytes, 140), 3u);
    EXPECT_EQ(Le32At(bytes, 32), 33333u);
    EXPECT_EQ(Le32At(bytes, 128), 333333u);
    EXPECT_EQ(TextAt(bytes, 232, 4), "00db");
    EXPECT_EQ(Le32At(bytes, 236), kColourFrame);
    EXPECT_EQ(bytes[240 + 5], FramePixels(0)[5]);
    EXPECT_EQ(bytes[232 + 921608 + 8 + 5], FramePixels(1)[5]);
    EXPECT_EQ(TextAt(bytes, idx, 4), "idx1");
    EXPECT_EQ(Le32At(bytes, idx + 4), 48u);
    const std::uint32_t offsets[] = {4, 921612, 4 + 2 * 921608};
    for (int i = 0; i < 3; ++i) {
        const std::size_t entry = idx + 8 + 16 * static_cast<std::size_t>(i);
        EXPECT_EQ(TextAt(bytes, entry, 4), "00db");
        EXPECT_EQ(Le32At(bytes, entry + 4), 0x10u);
        EXPECT_EQ(Le32At(bytes, entry + 8), offsets[i]);
        EXPECT_EQ(Le32At(bytes, entry + 12), kColourFrame);
    }
}

TEST(AviWriterFinish, NoMeasurableRateStillGivesAValidFile) {
    ScratchDir dir;
    AviWriter avi;
    ASSERT_TRUE(avi.Open(dir.Wide("empty.avi").c_str(), 640, 480, 24));
    ASSERT_TRUE(avi.Finish(0));
    auto bytes = ReadAll(dir.Path("empty.avi"));
    ASSERT_EQ(bytes.size(), 240u);
    EXPECT_EQ(Le32At(bytes, 4), 232u);
    EXPECT_EQ(Le32At(bytes, 224), 4u);
    EXPECT_EQ(TextAt(bytes, 232, 4), "idx1");
    EXPECT_EQ(Le32At(bytes, 236), 0u);
    EXPECT_EQ(Le32At(bytes, 32), 33333u);  // the nominal 30 frames per second
    EXPECT_EQ(Le32At(bytes, 128), 333333u);
}

TEST(AviWriterFinish, ExtremeRatesKeepNonZeroTimings) {
    ScratchDir dir;
    AviWriter avi;
    ASSERT_TRUE(avi.Open(dir.Wide("fast.avi").c_str(), 8, 8, 24));
    ASSERT_TRUE(avi.Finish(0xFFFFFFFFu));
    auto bytes = ReadAll(dir.Path("fast.avi"));
    EXPECT_EQ(Le32At(bytes, 32), 1u);
    EXPECT_EQ(Le32At(bytes, 128), 10u);
}

TEST(AviWriterFinish, DestructionFinishesAnOpenFile) {
    ScratchDir dir;
    {
        AviWriter avi;
        ASSERT_TRUE(avi.Open(dir.Wide("left.avi").c_str(), 640, 480, 24));
        ASSERT_TRUE(avi.AppendFrame(FramePixels(1).data()));
    }
    auto bytes = ReadAll(dir.Path("left.avi"));
    ASSERT_EQ(bytes.size(), 232u + 921608u + 8 + 16);
    EXPECT_EQ(Le32At(bytes, 48), 1u);
    EXPECT_EQ(TextAt(bytes, 232 + 921608, 4), "idx1");
}

TEST(AviWriterLimits, RowsArePaddedToWholeDibLines) {
    ScratchDir dir;
    AviWriter avi;
    ASSERT_TRUE(avi.Open(dir.Wide("odd.avi").c_str(), 641, 3, 24));
    EXPECT_EQ(avi.FrameSize(), 1924u * 3);
}

TEST(AviWriterLimits, FinishedFilesStayBelowFourGib) {
    // 232 header bytes + n x 921,608 chunk bytes + 8 + n x 16 index bytes.
    EXPECT_EQ(AviWriter::MaxFrames(kColourFrame), 4660u);
    EXPECT_LT(232ull + 4660ull * 921608 + 8 + 4660ull * 16, 1ull << 32);
    EXPECT_GT(232ull + 4661ull * 921608 + 8 + 4661ull * 16, 0xFFFFFFFFull);
    EXPECT_EQ(AviWriter::MaxFrames(0xFFFFFFF0u), 0u);
}

}  // namespace
}  // namespace calidra
