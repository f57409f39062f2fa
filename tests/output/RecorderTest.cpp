#include "output/Recorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "output/OutputTestFiles.h"
#include "pipeline/DibImage.h"
#include "pipeline/ThermoTable.h"

namespace calidra {
namespace {

using namespace test;

std::uint32_t fakeNow = 0;
std::uint32_t FakeClock() { return fakeNow; }

constexpr std::uint64_t kChunk = 921608;  // "00db", size, 921,600 pixel bytes

// A dense table whose level k reads k / 4 degrees.
ThermoTable QuarterDegreeTable() {
    std::vector<std::uint8_t> block(4 + 8 * 16384);
    PutLE32(block.data(), 16384);
    for (std::uint32_t k = 0; k < 16384; ++k) {
        PutLE32(block.data() + 4 + 8 * k, k);
        PutLEFloat(block.data() + 8 + 8 * k, static_cast<float>(k) / 4);
    }
    ThermoTable table;
    EXPECT_TRUE(table.Load(block.data(), block.size(), 0));
    table.BuildLookup();
    return table;
}

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeNow = 5000;
        frame.raw = &raw;
        frame.colour = &colour;
        frame.thermo = &thermo;
    }
    std::wstring Name(const std::string& file) const { return dir.Wide(file); }
    std::uint64_t SizeOf(const std::string& file) const { return std::filesystem::file_size(dir.Path(file)); }
    std::vector<std::uint8_t> Head(const std::string& file, std::uint64_t at = 0, std::size_t count = 256) const {
        return ReadSome(dir.Path(file), at, count);
    }

    ScratchDir dir;
    DibImage raw = RawFrame();
    DibImage colour = ColourFrame();
    ThermoTable thermo = QuarterDegreeTable();
    RecordingFrame frame;
    Recorder recorder{&FakeClock};
};

TEST_F(RecorderTest, ThreeHundredFramesInTenSeconds) {
    const std::wstring name = Name("run.avi");
    ASSERT_TRUE(recorder.Start(Recorder::kAvi, name.c_str(), frame));
    EXPECT_TRUE(recorder.IsFileOpen());
    EXPECT_EQ(recorder.RecordStart(), 5000u);
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(recorder.AfterFrame(Recorder::kAvi, name.c_str(), 2000, frame));
    EXPECT_EQ(recorder.RiffBytes(), 224 + 300 * kChunk);
    fakeNow = 15000;
    recorder.Stop();
    EXPECT_FALSE(recorder.IsFileOpen());
    EXPECT_EQ(recorder.RecordStart(), 0u);
    EXPECT_EQ(recorder.RiffBytes(), 0u);

    ASSERT_EQ(SizeOf("run.avi"), 276487440u);
    auto head = Head("run.avi");
    EXPECT_EQ(Le32At(head, 4), 276487432u);
    EXPECT_EQ(Le32At(head, 32), 33333u);
    EXPECT_EQ(Le32At(head, 48), 300u);
    EXPECT_EQ(Le32At(head, 128), 333333u);
    EXPECT_EQ(Le32At(head, 140), 300u);
    EXPECT_EQ(Le32At(head, 224), 276482404u);
    auto index = Head("run.avi", 232 + 300 * kChunk, 40);
    EXPECT_EQ(TextAt(index, 0, 4), "idx1");
    EXPECT_EQ(Le32At(index, 4), 4800u);
    EXPECT_EQ(Le32At(index, 8 + 8), 4u);
    EXPECT_EQ(Le32At(index, 24 + 8), 921612u);
}

TEST_F(RecorderTest, UnmeasurableRatesFinishWithTheNominalRate) {
    const std::wstring name = Name("empty.avi");
    ASSERT_TRUE(recorder.Start(Recorder::kAvi, name.c_str(), frame));
    recorder.Stop();  // no frame appended
    auto head = Head("empty.avi", 0, 300);
    ASSERT_EQ(head.size(), 240u);
    EXPECT_EQ(Le32At(head, 32), 33333u);
    EXPECT_EQ(Le32At(head, 48), 0u);
    EXPECT_EQ(TextAt(head, 232, 4), "idx1");

    const std::wstring same = Name("same-ms.avi");
    ASSERT_TRUE(recorder.Start(Recorder::kAvi, same.c_str(), frame));
    recorder.AfterFrame(Recorder::kAvi, same.c_str(), 2000, frame);
    recorder.Stop();  // frames, but no millisecond passed
    head = Head("same-ms.avi");
    EXPECT_EQ(Le32At(head, 32), 33333u);
    EXPECT_EQ(Le32At(head, 128), 333333u);
    EXPECT_EQ(Le32At(head, 48), 1u);

    const std::wstring slow = Name("slow.avi");
    ASSERT_TRUE(recorder.Start(Recorder::kAvi, slow.c_str(), frame));
    recorder.AfterFrame(Recorder::kAvi, slow.c_str(), 2000, frame);
    fakeNow += 1000000;  // one frame in 1,000 s: below one frame per 100 s
    recorder.Stop();
    head = Head("slow.avi");
    EXPECT_EQ(Le32At(head, 32), 100000000u);
    EXPECT_EQ(Le32At(head, 128), 1000000000u);
}

TEST_F(RecorderTest, LimitZeroSplitsAfterEveryFrameInEveryKind) {
    const struct {
        int kind;
        const char* first;
        const char* second;
        const char* third;
        std::uint64_t fileBytes;
    } kinds[] = {{Recorder::kRawStream, "r.raw", "r_1.raw", "r_2.raw", 614400},
                 {Recorder::kAvi, "v.avi", "v_1.avi", "v_2.avi", 232 + kChunk + 8 + 16},
                 {Recorder::kTemperatureStream, "t.f32", "t_1.f32", "t_2.f32", 1228800}};
    for (const auto& k : kinds) {
        const std::wstring name = Name(k.first);
        ASSERT_TRUE(recorder.Start(k.kind, name.c_str(), frame));
        ASSERT_TRUE(recorder.AfterFrame(k.kind, name.c_str(), 0, frame));
        EXPECT_EQ(recorder.SplitCount(), 1u);
        ASSERT_TRUE(recorder.AfterFrame(k.kind, name.c_str(), 0, frame));
        recorder.Stop();
        EXPECT_EQ(SizeOf(k.first), k.fileBytes) << k.first;
        EXPECT_EQ(SizeOf(k.second), k.fileBytes) << k.second;
        EXPECT_TRUE(std::filesystem::exists(dir.Path(k.third))) << k.third;  // opened after the last split
    }
}

TEST_F(RecorderTest, AviSplitsAfterTheFrameThatReachesTheLimit) {
    const std::wstring name = Name("m.avi");
    ASSERT_TRUE(recorder.Start(Recorder::kAvi, name.c_str(), frame));
    // 1 MiB is reached by the second frame (224 + 2 x 921,608 bytes).
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(recorder.AfterFrame(Recorder::kAvi, name.c_str(), 1, frame));
    recorder.Stop();
    EXPECT_EQ(Le32At(Head("m.avi"), 48), 2u);
    EXPECT_EQ(Le32At(Head("m_1.avi"), 48), 1u);
}

TEST_F(RecorderTest, NegativeLimitNeverSplits) {
    const std::wstring name = Name("n.raw");
    ASSERT_TRUE(recorder.Start(Recorder::kRawStream, name.c_str(), frame));
    for (int i = 0; i < 3; ++i) recorder.AfterFrame(Recorder::kRawStream, name.c_str(), -1, frame);
    recorder.Stop();
    EXPECT_EQ(SizeOf("n.raw"), 3 * 614400u);
}

TEST_F(RecorderTest, ChangingThePathStartsTheNewNameWithoutNumber) {
    const std::wstring a = Name("a.avi"), b = Name("b.avi");
    ASSERT_TRUE(recorder.Start(Recorder::kAvi, a.c_str(), frame));
    recorder.AfterFrame(Recorder::kAvi, a.c_str(), 0, frame);  // a.avi full: a_1.avi opened
    recorder.AfterFrame(Recorder::kAvi, a.c_str(), 2000, frame);
    recorder.AfterFrame(Recorder::kAvi, b.c_str(), 2000, frame);  // closes a_1.avi, opens b.avi
    EXPECT_EQ(recorder.SplitCount(), 0u);
    recorder.AfterFrame(Recorder::kAvi, b.c_str(), 2000, frame);
    recorder.Stop();
    EXPECT_EQ(Le32At(Head("a.avi"), 48), 1u);
    EXPECT_EQ(Le32At(Head("a_1.avi"), 48), 1u);
    EXPECT_EQ(Le32At(Head("b.avi"), 48), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("b_1.avi")));
}

TEST_F(RecorderTest, KindZeroEndsAndUnknownKindsFailOnce) {
    const std::wstring name = Name("k.raw");
    ASSERT_TRUE(recorder.Start(Recorder::kRawStream, name.c_str(), frame));
    recorder.AfterFrame(Recorder::kRawStream, name.c_str(), 2000, frame);
    EXPECT_TRUE(recorder.AfterFrame(Recorder::kNone, name.c_str(), 2000, frame));
    EXPECT_FALSE(recorder.IsFileOpen());
    EXPECT_EQ(recorder.OpenKind(), Recorder::kNone);
    EXPECT_EQ(SizeOf("k.raw"), 614400u);

    const std::wstring seven = Name("seven");
    EXPECT_FALSE(recorder.AfterFrame(7, seven.c_str(), 2000, frame));  // the caller reports a file error
    EXPECT_EQ(recorder.OpenKind(), 7);
    EXPECT_TRUE(recorder.AfterFrame(7, seven.c_str(), 2000, frame));  // no retry until kind or name changes
    EXPECT_FALSE(std::filesystem::exists(dir.Path("seven")));
    EXPECT_EQ(recorder.CloseRecording(7), 0);
    EXPECT_FALSE(recorder.Start(7, seven.c_str(), frame));
    EXPECT_FALSE(recorder.Start(Recorder::kAvi, nullptr, frame));
    const std::wstring missing = Name("no-dir/x.avi");
    EXPECT_FALSE(recorder.Start(Recorder::kAvi, missing.c_str(), frame));
}

TEST_F(RecorderTest, FlipPutsTheTopRowFirstInEveryKind) {
    frame.flip = true;
    for (int kind : {Recorder::kRawStream, Recorder::kAvi, Recorder::kTemperatureStream}) {
        const std::wstring name = Name("flip" + std::to_string(kind));
        ASSERT_TRUE(recorder.Start(kind, name.c_str(), frame));
        recorder.AfterFrame(kind, name.c_str(), 2000, frame);
        recorder.Stop();
    }
    auto rawBytes = Head("flip1", 0, 1280);
    EXPECT_EQ(std::memcmp(rawBytes.data(), raw.Row(479), 1280), 0);
    auto aviBytes = Head("flip2", 240, 1920);
    EXPECT_EQ(std::memcmp(aviBytes.data(), colour.Row(479), 1920), 0);
    auto temperatures = Head("flip3", 0, 8);
    EXPECT_EQ(GetLEFloat(temperatures.data()), static_cast<float>(GetLE16(raw.Row(479))) / 4);
    EXPECT_EQ(GetLEFloat(temperatures.data() + 4), static_cast<float>(GetLE16(raw.Row(479) + 2)) / 4);
}

TEST_F(RecorderTest, UnflippedFramesKeepStoredOrder) {
    for (int kind : {Recorder::kRawStream, Recorder::kAvi, Recorder::kTemperatureStream}) {
        const std::wstring name = Name("plain" + std::to_string(kind));
        ASSERT_TRUE(recorder.Start(kind, name.c_str(), frame));
        recorder.AfterFrame(kind, name.c_str(), 2000, frame);
        recorder.AfterFrame(kind, name.c_str(), 2000, frame);
        recorder.Stop();
    }
    EXPECT_EQ(SizeOf("plain1"), 2 * 614400u);
    EXPECT_EQ(SizeOf("plain3"), 2 * 1228800u);
    EXPECT_EQ(std::memcmp(Head("plain1", 614400, 1280).data(), raw.Row(0), 1280), 0);
    EXPECT_EQ(std::memcmp(Head("plain2", 240, 1920).data(), colour.Row(0), 1920), 0);
    auto temperatures = Head("plain3", 1228800 + 4 * 641, 4);  // second frame, line 1, column 1
    EXPECT_EQ(GetLEFloat(temperatures.data()), static_cast<float>(GetLE16(raw.Row(1) + 2)) / 4);
}

TEST_F(RecorderTest, DestructionFinishesAnOpenRecording) {
    {
        Recorder scoped{&FakeClock};
        const std::wstring name = Name("left.avi");
        ASSERT_TRUE(scoped.Start(Recorder::kAvi, name.c_str(), frame));
        scoped.AfterFrame(Recorder::kAvi, name.c_str(), 2000, frame);
        fakeNow += 100;
        scoped.AfterFrame(Recorder::kAvi, name.c_str(), 2000, frame);
    }
    auto head = Head("left.avi");
    EXPECT_EQ(Le32At(head, 48), 2u);
    EXPECT_EQ(Le32At(head, 32), 50000u);  // 2 frames in 100 ms: 20 per second
    EXPECT_EQ(TextAt(Head("left.avi", 232 + 2 * kChunk, 4), 0, 4), "idx1");
}

}  // namespace
}  // namespace calidra
