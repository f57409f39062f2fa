// calidra convert: headerless raw and temperature files into PNG, TIFF and
// CSV. Needs no camera: the inputs are made here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "ToolFixture.h"

namespace calidra::test {
namespace {

using ::testing::HasSubstr;

std::uint32_t Be32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}
std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t Le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// The samples of the tool's 16-bit grey PNG, top row first: its image data
// is a zlib stream of stored blocks, readable without an inflater.
std::vector<std::uint16_t> PngSamples(const std::vector<unsigned char>& png) {
    std::vector<unsigned char> zlib;
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    for (std::size_t at = 8; at + 12 <= png.size();) {
        std::uint32_t length = Be32(png.data() + at);
        std::string type(reinterpret_cast<const char*>(png.data() + at + 4), 4);
        if (type == "IHDR") {
            EXPECT_EQ(Be32(png.data() + at + 8), 640u);
            EXPECT_EQ(Be32(png.data() + at + 12), 480u);
            EXPECT_EQ(png[at + 16], 16);  // bit depth
            EXPECT_EQ(png[at + 17], 0);   // grey
        }
        if (type == "IDAT") zlib.insert(zlib.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        at += 12 + length;
    }
    std::vector<unsigned char> rows;
    for (std::size_t at = 2; at + 5 <= zlib.size();) {
        bool last = zlib[at] & 1;
        EXPECT_EQ(zlib[at] & 6, 0) << "not a stored block";
        std::size_t length = Le16(zlib.data() + at + 1);
        rows.insert(rows.end(), zlib.begin() + at + 5, zlib.begin() + at + 5 + length);
        at += 5 + length;
        if (last) break;
    }
    std::vector<std::uint16_t> samples;
    EXPECT_EQ(rows.size(), 480u * (1 + 1280));
    for (int row = 0; row < 480 && rows.size() == 480u * 1281; ++row) {
        const unsigned char* line = rows.data() + row * 1281;
        EXPECT_EQ(line[0], 0);
        for (int column = 0; column < 640; ++column) {
            samples.push_back(static_cast<std::uint16_t>(line[1 + 2 * column] << 8 | line[2 + 2 * column]));
        }
    }
    return samples;
}

// The samples of the tool's TIFF, found through its strip offset.
std::vector<std::uint16_t> TiffSamples(const std::vector<unsigned char>& tiff) {
    EXPECT_EQ(std::memcmp(tiff.data(), "II*\0", 4), 0);
    const unsigned char* directory = tiff.data() + Le32(tiff.data() + 4);
    std::uint32_t offset = 0;
    for (int i = 0; i < Le16(directory); ++i) {
        const unsigned char* entry = directory + 2 + 12 * i;
        if (Le16(entry) == 273) offset = Le32(entry + 8);
        if (Le16(entry) == 258) {
            EXPECT_EQ(Le16(entry + 8), 16);
        }
    }
    std::vector<std::uint16_t> samples;
    for (std::size_t i = 0; i < 640 * 480 && offset + 2 * i + 1 < tiff.size(); ++i) {
        samples.push_back(Le16(tiff.data() + offset + 2 * i));
    }
    return samples;
}

// The pattern frame, top row first, as a picture shows it.
std::vector<std::uint16_t> TopFirst(const std::vector<std::uint16_t>& stored) {
    std::vector<std::uint16_t> picture;
    for (int row = 479; row >= 0; --row) {
        picture.insert(picture.end(), stored.begin() + row * 640, stored.begin() + (row + 1) * 640);
    }
    return picture;
}

class ToolConvert : public ToolFixture {
protected:
    // Two raw frames of different patterns in one stream.
    std::string RawStream() {
        std::vector<unsigned char> bytes = TestFiles::RawBytes(TestFiles::PatternFrame(0));
        std::vector<unsigned char> second = TestFiles::RawBytes(TestFiles::PatternFrame(1));
        bytes.insert(bytes.end(), second.begin(), second.end());
        std::string path = Path("stream.raw");
        TestFiles::Write(path, bytes);
        return path;
    }
};

TEST_F(ToolConvert, RawFrameToCsvTopRowFirst) {
    ProcessResult result = Tool({"convert", RawStream(), "--to", "csv", "--frame", "1", Path("frame.csv")});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_EQ(result.out, "wrote " + Path("frame.csv") + " (frame 1 of 2, csv)\n");
    std::vector<std::uint16_t> expected = TopFirst(TestFiles::PatternFrame(1));
    std::vector<unsigned char> text = TestFiles::Read(Path("frame.csv"));
    std::istringstream csv(std::string(text.begin(), text.end()));
    std::string line;
    int rows = 0;
    while (std::getline(csv, line)) {
        std::istringstream values(line);
        std::string value;
        int column = 0;
        while (std::getline(values, value, ',')) {
            if (column < 640 && rows < 480) {
                ASSERT_EQ(std::stoi(value), expected[rows * 640 + column]) << rows << "," << column;
            }
            ++column;
        }
        EXPECT_EQ(column, 640);
        ++rows;
    }
    EXPECT_EQ(rows, 480);
}

TEST_F(ToolConvert, RawFrameToPng16AndTiff16KeepsLevels) {
    const std::string stream = RawStream();
    ASSERT_EQ(Tool({"convert", stream, "--to", "png16", Path("f.png")}).exitCode, 0);
    ASSERT_EQ(Tool({"convert", stream, "--to", "tiff16", "--frame", "1", Path("f.tif")}).exitCode, 0);
    EXPECT_EQ(PngSamples(TestFiles::Read(Path("f.png"))), TopFirst(TestFiles::PatternFrame(0)));
    EXPECT_EQ(TiffSamples(TestFiles::Read(Path("f.tif"))), TopFirst(TestFiles::PatternFrame(1)));

    // The file was written top row first: --flipped keeps that order.
    ASSERT_EQ(Tool({"convert", stream, "--flipped", "--to", "png16", Path("g.png")}).exitCode, 0);
    EXPECT_EQ(PngSamples(TestFiles::Read(Path("g.png"))), TestFiles::PatternFrame(0));

    // Programs that check pictures accept both.
    std::string pngcheck = FindProgram("pngcheck");
    if (!pngcheck.empty()) {
        ProcessResult check = Run(pngcheck, {"-q", Path("f.png")});
        EXPECT_EQ(check.exitCode, 0) << Describe(check);
    }
    std::string tiffinfo = FindProgram("tiffinfo");
    if (!tiffinfo.empty()) {
        ProcessResult check = Run(tiffinfo, {Path("f.tif")});
        EXPECT_EQ(check.exitCode, 0) << Describe(check);
        EXPECT_THAT(check.out, HasSubstr("Bits/Sample: 16"));
        EXPECT_THAT(check.err, ::testing::Not(HasSubstr("rror")));
    }
}

TEST_F(ToolConvert, TemperaturesBecomeCentikelvin) {
    std::vector<float> degrees(640 * 480, 25.0f);
    // Stored row 479 is the top row of the picture.
    degrees[479 * 640 + 0] = 20.0f;
    degrees[479 * 640 + 1] = -300.0f;
    degrees[479 * 640 + 2] = NAN;
    degrees[479 * 640 + 3] = 1000.0f;
    degrees[479 * 640 + 4] = 36.5f;
    degrees[0] = -40.25f;  // bottom left
    std::vector<unsigned char> bytes(degrees.size() * 4);
    std::memcpy(bytes.data(), degrees.data(), bytes.size());
    TestFiles::Write(Path("t.f32"), bytes);

    ASSERT_EQ(Tool({"convert", Path("t.f32"), "--to", "png16", Path("t.png")}).exitCode, 0);
    std::vector<std::uint16_t> samples = PngSamples(TestFiles::Read(Path("t.png")));
    ASSERT_EQ(samples.size(), 640u * 480);
    EXPECT_EQ(samples[0], 29315);          // 20 C
    EXPECT_EQ(samples[1], 0);              // below absolute zero: clamped
    EXPECT_EQ(samples[2], 0);              // not a number
    EXPECT_EQ(samples[3], 65535);          // beyond the 16-bit range: clamped
    EXPECT_EQ(samples[4], 30965);          // 36.5 C
    EXPECT_EQ(samples[5], 29815);          // 25 C
    EXPECT_EQ(samples[479 * 640], 23290);  // -40.25 C, bottom left

    ASSERT_EQ(Tool({"convert", Path("t.f32"), "--to", "csv", Path("t.csv")}).exitCode, 0);
    std::vector<unsigned char> text = TestFiles::Read(Path("t.csv"));
    EXPECT_EQ(std::string(text.begin(), text.begin() + 25), "20,-300,nan,1000,36.5,25,");
}

TEST_F(ToolConvert, WrongInputsAreRefused) {
    TestFiles::Write(Path("frame.bin"), TestFiles::RawBytes(TestFiles::PatternFrame(0)));
    ProcessResult unknown = Tool({"convert", Path("frame.bin"), "--to", "csv", Path("x.csv")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_THAT(unknown.err, HasSubstr("say --from raw or --from temp"));

    // With --from the same file converts; the raw bytes are half a temperature frame.
    EXPECT_EQ(Tool({"convert", Path("frame.bin"), "--from", "raw", "--to", "csv", Path("x.csv")}).exitCode, 0);
    ProcessResult half = Tool({"convert", Path("frame.bin"), "--from", "temp", "--to", "csv", Path("y.csv")});
    EXPECT_EQ(half.exitCode, 4);
    EXPECT_THAT(half.err, HasSubstr("holds 0 whole temperature frames of 1,228,800 bytes; there is no frame 0"));

    ProcessResult beyond =
        Tool({"convert", Path("frame.bin"), "--from", "raw", "--frame", "1", "--to", "csv", Path("z.csv")});
    EXPECT_EQ(beyond.exitCode, 4);
    ProcessResult missing = Tool({"convert", Path("absent.raw"), "--to", "csv", Path("w.csv")});
    EXPECT_EQ(missing.exitCode, 4);
    EXPECT_THAT(missing.err, HasSubstr("cannot read"));
}

}  // namespace
}  // namespace calidra::test
