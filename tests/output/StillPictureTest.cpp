#include "output/StillPicture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "output/ImageFile.h"
#include "output/OutputTestFiles.h"
#include "pipeline/DibImage.h"
#include "pipeline/ThermoTable.h"
#include "platform/ModuleResources.h"
#include "resources/BuiltinTables.h"
#include "support/PictureFiles.h"

namespace calidra {
namespace {

using namespace test;

class StillPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        ModuleResources module;
        ASSERT_TRUE(BuiltinTables::AddTo(module));
        const std::uint8_t* block = nullptr;
        std::size_t size = 0;
        ASSERT_TRUE(module.Find(BuiltinTables::kThermoNormalId, BuiltinTables::kType, block, size));
        ASSERT_TRUE(thermo.Load(block, size, 0));
        thermo.BuildLookup();
        levelTemperatures.resize(16384);
        levelOffsets.assign(16384, 0.25);
        for (std::size_t i = 0; i < levelTemperatures.size(); ++i) levelTemperatures[i] = static_cast<double>(i) / 2;
        frame.raw = &raw;
        frame.colour = &colour;
        frame.thermo = &thermo;
        frame.levels = LevelColumns{16384, levelTemperatures, levelOffsets};
    }
    std::filesystem::path Save(unsigned type, bool flip = false, const char* name = nullptr) {
        std::string file = name != nullptr ? name : "type" + std::to_string(type) + (flip ? "-flip" : "");
        EXPECT_EQ(SaveStillPicture(dir.Wide(file).c_str(), type, frame, flip), 1) << type;
        return dir.Path(file);
    }

    ScratchDir dir;
    DibImage raw = RawFrame();
    DibImage colour = ColourFrame();
    ThermoTable thermo;
    std::vector<double> levelTemperatures, levelOffsets;
    StillFrame frame;
};

TEST_F(StillPictureTest, BitmapIsTheColourImageWithItsHeaderWhateverTheName) {
    auto bytes = ReadAll(Save(0, false, "picture.png"));
    ASSERT_EQ(bytes.size(), 921654u);
    EXPECT_EQ(TextAt(bytes, 0, 2), "BM");
    EXPECT_EQ(Le32At(bytes, 2), 921654u);
    EXPECT_EQ(Le32At(bytes, 6), 0u);
    EXPECT_EQ(Le32At(bytes, 10), 54u);
    std::uint8_t header[40];
    colour.Header().Pack(header);
    EXPECT_EQ(std::memcmp(bytes.data() + 14, header, 40), 0);
    EXPECT_EQ(Le32At(bytes, 18), 640u);
    EXPECT_EQ(Le32At(bytes, 22), 480u);
    EXPECT_EQ(std::memcmp(bytes.data() + 54, colour.Bits(), colour.ImageSize()), 0);
}

TEST_F(StillPictureTest, FlippedBitmapStoresTheTopRowFirst) {
    auto bytes = ReadAll(Save(0, true));
    ASSERT_EQ(bytes.size(), 921654u);
    EXPECT_EQ(std::memcmp(bytes.data() + 54, colour.Row(479), 1920), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 54 + 479 * 1920, colour.Row(0), 1920), 0);
}

TEST_F(StillPictureTest, BareBytesKeepStoredOrderUnlessFlipped) {
    auto bytes = ReadAll(Save(1));
    ASSERT_EQ(bytes.size(), 921600u);
    EXPECT_EQ(std::memcmp(bytes.data(), colour.Row(0), 1920), 0);  // the picture's bottom row
    bytes = ReadAll(Save(1, true));
    ASSERT_EQ(bytes.size(), 921600u);
    EXPECT_EQ(std::memcmp(bytes.data(), colour.Row(479), 1920), 0);  // its top row
    bytes = ReadAll(Save(7));
    ASSERT_EQ(bytes.size(), 614400u);
    EXPECT_EQ(std::memcmp(bytes.data(), raw.Bits(), raw.ImageSize()), 0);
}

TEST_F(StillPictureTest, SavingOverALongerFileLeavesNoOldTail) {
    std::vector<std::uint8_t> old(2000000, 0xAB);
    std::FILE* out = std::fopen(dir.Path("over").string().c_str(), "wb");
    std::fwrite(old.data(), 1, old.size(), out);
    std::fclose(out);
    EXPECT_EQ(ReadAll(Save(1, false, "over")).size(), 921600u);
}

TEST_F(StillPictureTest, TemperatureArraysFollowTheThermoTable) {
    // Level 0 reads -999.0 in the built-in table and level 6000 reads 5.60.
    PutLE16(raw.Row(0), 0);
    PutLE16(raw.Row(0) + 2, 6000);
    PutLE16(raw.Row(479), 10000);

    auto s8 = ReadAll(Save(10));
    ASSERT_EQ(s8.size(), 307200u);
    EXPECT_EQ(static_cast<std::int8_t>(s8[0]), -128);
    EXPECT_EQ(static_cast<std::int8_t>(s8[1]), 5);
    EXPECT_EQ(static_cast<std::int8_t>(s8[479 * 640]), 118);

    auto u8 = ReadAll(Save(11));
    ASSERT_EQ(u8.size(), 307200u);
    EXPECT_EQ(u8[0], 0);
    EXPECT_EQ(u8[1], 5);

    auto i32 = ReadAll(Save(12));
    ASSERT_EQ(i32.size(), 1228800u);
    EXPECT_EQ(static_cast<std::int32_t>(Le32At(i32, 0)), -999);
    EXPECT_EQ(static_cast<std::int32_t>(Le32At(i32, 4)), 5);

    auto f32 = ReadAll(Save(13));
    ASSERT_EQ(f32.size(), 1228800u);
    EXPECT_EQ(GetLEFloat(f32.data() + 4), 3000.25f);  // the level table: 6000 / 2 + 0.25

    auto flipped = ReadAll(Save(12, true));
    EXPECT_EQ(static_cast<std::int32_t>(Le32At(flipped, 0)), 118);
}

TEST_F(StillPictureTest, RawPngHoldsScaledBigEndianSamplesTopRowFirst) {
    PutLE16(raw.Row(479), 1000);
    PutLE16(raw.Row(479) + 2, 1024);
    PutLE16(raw.Row(479) + 4, 16383);
    auto png = ReadPng(Save(8));
    ASSERT_EQ(png.rows.size(), 480u);
    EXPECT_EQ(png.width, 640u);
    EXPECT_EQ(png.bitDepth, 16);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_GRAY);
    auto sample = [&](std::size_t row, std::size_t x) { return png.rows[row][2 * x] << 8 | png.rows[row][2 * x + 1]; };
    EXPECT_EQ(sample(0, 0), 64000);
    EXPECT_EQ(sample(0, 1), 0);
    EXPECT_EQ(sample(0, 2), 65472);
    EXPECT_EQ(sample(479, 3), 3 * 64);  // bottom row, level 3
    // The image itself is left as it was.
    EXPECT_EQ(GetLE16(raw.Row(479)), 1000);
}

TEST_F(StillPictureTest, ColourPngIsRgbTopRowFirstOrFlipped) {
    auto png = ReadPng(Save(5));
    ASSERT_EQ(png.rows.size(), 480u);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png.rows[0][3 * 100 + 0], RedAt(479, 100));
    EXPECT_EQ(png.rows[0][3 * 100 + 1], GreenAt(479, 100));
    EXPECT_EQ(png.rows[0][3 * 100 + 2], BlueAt(479, 100));
    png = ReadPng(Save(5, true));
    ASSERT_EQ(png.rows.size(), 480u);
    EXPECT_EQ(png.rows[0][3 * 100 + 0], RedAt(0, 100));
}

TEST_F(StillPictureTest, TiffsAreOneUncompressedStrip) {
    PutLE16(raw.Row(479), 1000);
    struct Case {
        unsigned type;
        int bits, samples, photometric;
    } cases[] = {{6, 8, 3, PHOTOMETRIC_RGB}, {9, 16, 1, PHOTOMETRIC_MINISBLACK}};
    for (const Case& c : cases) {
        const TiffPicture tiff = ReadTiff(Save(c.type));
        ASSERT_TRUE(tiff.opened);
        EXPECT_EQ(tiff.width, 640u);
        EXPECT_EQ(tiff.height, 480u);
        EXPECT_EQ(tiff.bits, c.bits);
        EXPECT_EQ(tiff.samples, c.samples);
        EXPECT_EQ(tiff.photometric, c.photometric);
        EXPECT_EQ(tiff.compression, COMPRESSION_NONE);
        EXPECT_EQ(tiff.strips, 1u);
        const std::vector<std::uint8_t>& strip = tiff.strip;
        ASSERT_EQ(tiff.stripRead, static_cast<std::int64_t>(strip.size()));
        if (c.type == 6) {
            ASSERT_EQ(strip.size(), 921600u);
            EXPECT_EQ(strip[0], RedAt(479, 0));
            EXPECT_EQ(strip[1], GreenAt(479, 0));
            EXPECT_EQ(strip[2], BlueAt(479, 0));
            EXPECT_EQ(strip[479 * 1920 + 3 * 5], RedAt(0, 5));
        } else {
            ASSERT_EQ(strip.size(), 614400u);
            std::uint16_t first;
            std::memcpy(&first, strip.data(), 2);  // libtiff hands samples over in host order
            EXPECT_EQ(first, 64000);
        }
    }
}

TEST_F(StillPictureTest, JpegsAreProgressiveAndDifferOnlyInQuality) {
    const int firstQuant[] = {1, 10, 40};  // the luminance DC step 16 scaled for 100, 70, 20
    std::uintmax_t previousSize = ~std::uintmax_t{0};
    for (unsigned type = 2; type <= 4; ++type) {
        const auto path = Save(type);
        const auto size = std::filesystem::file_size(path);
        EXPECT_LT(size, previousSize);
        previousSize = size;
        auto jpeg = ReadJpeg(path);
        EXPECT_TRUE(jpeg.progressive);
        EXPECT_EQ(jpeg.width, 640);
        EXPECT_EQ(jpeg.height, 480);
        EXPECT_EQ(jpeg.lumaDc, firstQuant[type - 2]);
        ASSERT_EQ(jpeg.topRow.size(), 1920u);
        EXPECT_NEAR(jpeg.topRow[3 * 320 + 0], RedAt(479, 320), 12);
        EXPECT_NEAR(jpeg.topRow[3 * 320 + 1], GreenAt(479, 320), 12);
        EXPECT_NEAR(jpeg.topRow[3 * 320 + 2], BlueAt(479, 320), 12);
    }
    auto flipped = ReadJpeg(Save(2, true));
    EXPECT_NEAR(flipped.topRow[3 * 320 + 1], GreenAt(0, 320), 6);
    EXPECT_NEAR(flipped.bottomRow[3 * 320 + 1], GreenAt(479, 320), 6);
}

TEST_F(StillPictureTest, MissingInputsAndBadPathsFailCleanly) {
    const std::wstring longPath = dir.Wide(std::string(5000, 'x'));
    const std::wstring inMissingDir = dir.Wide("no-such-dir/file");
    for (unsigned type = 0; type <= kLastStillType; ++type) {
        EXPECT_EQ(SaveStillPicture(nullptr, type, frame, false), 0) << type;
        EXPECT_EQ(SaveStillPicture(L"", type, frame, false), 0) << type;
        EXPECT_EQ(SaveStillPicture(longPath.c_str(), type, frame, false), 0) << type;
        EXPECT_EQ(SaveStillPicture(inMissingDir.c_str(), type, frame, true), 0) << type;
        EXPECT_EQ(SaveStillPicture(dir.Wide("x").c_str(), type, StillFrame{}, false), 0) << type;
    }
    EXPECT_EQ(SaveStillPicture(dir.Wide("x").c_str(), 14, frame, false), 0);
    EXPECT_EQ(SaveImageFile(dir.Wide("x").c_str(), &colour, 7), 0);
    EXPECT_EQ(SaveImageFile(dir.Wide("x").c_str(), nullptr, 0), 0);
    DibImage grey;
    ASSERT_TRUE(grey.Create(4, 4, 8));
    EXPECT_EQ(SaveImageFile(dir.Wide("x").c_str(), &grey, kFormatJpeg100), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("x")));
}

TEST_F(StillPictureTest, EncoderErrorsReturnToTheCaller) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fill";
    // Noise does not compress, so every encoder writes past its stream buffer
    // and meets the full device inside the library.
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < colour.ImageSize(); ++i) {
        seed = seed * 1103515245u + 12345u;
        colour.Bits()[i] = static_cast<std::uint8_t>(seed >> 16);
    }
    for (unsigned type = 0; type <= kLastStillType; ++type) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(SaveStillPicture(L"/dev/full", type, frame, false), 0) << type;
        const std::string said = ::testing::internal::GetCapturedStderr();
        if (type == 5) {
            EXPECT_EQ(said, "libpng error: Write Error\n");
        } else if (type != 8) {  // the raw PNG may fail in libpng or only when the stream is closed
            EXPECT_EQ(said, "") << type;
        }
    }
}

}  // namespace
}  // namespace calidra
