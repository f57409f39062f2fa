// Still pictures, recordings and correction-data files as a client makes them:
// through the public functions only, from frames of exactly known levels.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "ApiAcceptanceSupport.h"
#include "platform/TextConversion.h"
#include "support/PictureFiles.h"

namespace calidra {
namespace {

using namespace apitest;
using test::JpegPicture;
using test::PngPicture;
using test::ReadJpeg;
using test::ReadPng;
using test::ReadTiff;
using test::TiffPicture;

constexpr std::size_t kColourRowBytes = kWidth * 3;
constexpr std::size_t kRawRowBytes = kWidth * 2;

// The picture's rows of a stored (bottom row first) colour buffer, top first, as red-green-blue.
std::vector<std::uint8_t> RgbRowFromTop(const std::vector<std::uint8_t>& stored, int rowFromTop) {
    const std::uint8_t* bgr = stored.data() + static_cast<std::size_t>(kHeight - 1 - rowFromTop) * kColourRowBytes;
    std::vector<std::uint8_t> rgb(kColourRowBytes);
    for (int x = 0; x < kWidth; ++x) {
        rgb[3 * x + 0] = bgr[3 * x + 2];
        rgb[3 * x + 1] = bgr[3 * x + 1];
        rgb[3 * x + 2] = bgr[3 * x + 0];
    }
    return rgb;
}

std::vector<std::uint8_t> ReversedRows(const std::vector<std::uint8_t>& bytes, std::size_t rowBytes) {
    std::vector<std::uint8_t> reversed(bytes.size());
    const std::size_t rows = bytes.size() / rowBytes;
    for (std::size_t k = 0; k < rows; ++k)
        std::memcpy(reversed.data() + k * rowBytes, bytes.data() + (rows - 1 - k) * rowBytes, rowBytes);
    return reversed;
}

std::uint16_t BigEndianSample(const std::vector<std::uint8_t>& row, int x) {
    return static_cast<std::uint16_t>(row[2 * x] << 8 | row[2 * x + 1]);
}

double Mean(const std::vector<std::uint8_t>& bytes) {
    double sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return bytes.empty() ? -1.0 : sum / static_cast<double>(bytes.size());
}

class StillFiles : public ApiTest {
protected:
    // Saves the newest frame; the code it left (0 for none).
    int SaveCode(const std::string& name, int type) {
        ClearErrors();
        const int result = Calidra_SaveA(handle, files.Narrow(name).c_str(), type);
        const int code = Calidra_GetLastError(handle);
        EXPECT_EQ(result, code == 0 ? 1 : 0) << name << " type " << type;
        return code;
    }

    std::vector<std::uint8_t> Saved(const std::string& name, int type) {
        EXPECT_EQ(SaveCode(name, type), 0) << name;
        return ReadAll(files.Path(name));
    }

    ScratchDir files{"api-files"};
};

TEST_F(StillFiles, BeforeAnyCaptureEveryTypeGivesNoImage) {
    for (int type : {0, 1, 2, 5, 6, 7, 8, 9, 10, 12, 13, 14, -1, INT_MIN}) {
        const std::string name = "none" + std::to_string(type);
        EXPECT_EQ(SaveCode(name, type), ERR_NO_IMAGE) << type;
        EXPECT_FALSE(std::filesystem::exists(files.Path(name)));
    }
}

TEST_F(StillFiles, TypesAboveThirteenGiveArgumentError) {
    Capture(FlatFrame(2000));
    for (int type : {14, -1, INT_MIN, INT_MAX}) {
        const std::string name = "bad" + std::to_string(type);
        EXPECT_EQ(SaveCode(name, type), ERR_ARGUMENT) << type;
        EXPECT_FALSE(std::filesystem::exists(files.Path(name)));
    }
}

TEST_F(StillFiles, TheTypeAloneChoosesTheFormat) {
    const unsigned long id = Capture(RampFrame(1000));
    const std::vector<std::uint8_t> colour = Colour(id);
    const std::vector<std::uint8_t> bitmap = Saved("picture.png", 0);
    ASSERT_EQ(bitmap.size(), 921654u);
    EXPECT_EQ(bitmap[0], 'B');
    EXPECT_EQ(bitmap[1], 'M');
    EXPECT_EQ(Le32(bitmap, 2), 921654u);
    EXPECT_EQ(Le32(bitmap, 6), 0u);
    EXPECT_EQ(Le32(bitmap, 10), 54u);
    EXPECT_EQ(Le32(bitmap, 14), 40u);
    EXPECT_EQ(Le32(bitmap, 18), 640u);
    EXPECT_EQ(Le32(bitmap, 22), 480u);  // positive: the rows run bottom-up
    EXPECT_EQ(Le16(bitmap, 26), 1u);
    EXPECT_EQ(Le16(bitmap, 28), 24u);
    // Compression, image size, resolutions and colour counts are all 0.
    for (std::size_t offset = 30; offset < 54; offset += 4) EXPECT_EQ(Le32(bitmap, offset), 0u) << offset;
    EXPECT_TRUE(std::equal(colour.begin(), colour.end(), bitmap.begin() + 54));

    const std::vector<std::uint8_t> png = Saved("picture.bmp", 5);
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
}

TEST_F(StillFiles, NewFilesHaveTheSizesOfTheirTypes) {
    Capture(RampFrame(1000));
    const std::pair<int, std::uintmax_t> sizes[] = {{0, 921654},  {1, 921600},   {7, 614400},  {10, 307200},
                                                    {11, 307200}, {12, 1228800}, {13, 1228800}};
    for (const auto& [type, size] : sizes) {
        const std::string name = "t" + std::to_string(type);
        EXPECT_EQ(SaveCode(name, type), 0);
        EXPECT_EQ(std::filesystem::file_size(files.Path(name)), size) << "type " << type;
    }
    for (int type : {2, 3, 4, 5, 6, 8, 9}) {
        const std::string name = "t" + std::to_string(type);
        EXPECT_EQ(SaveCode(name, type), 0);
        EXPECT_GT(std::filesystem::file_size(files.Path(name)), 0u) << "type " << type;
    }
    EXPECT_GT(std::filesystem::file_size(files.Path("t6")), 921600u);
    EXPECT_GT(std::filesystem::file_size(files.Path("t9")), 614400u);
}

TEST_F(StillFiles, BareBytesHoldTheBottomRowFirstUnlessFlipped) {
    // Sensor line y reads 1000 + 4y, so every colour row is told by its level.
    Frame frame(kPixels);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) At(frame, y, x) = static_cast<std::uint16_t>(1000 + 4 * y);
    const unsigned long id = Capture(frame);
    const std::vector<std::uint8_t> colour = Colour(id);
    ASSERT_NE(std::vector<std::uint8_t>(colour.begin(), colour.begin() + kColourRowBytes),
              std::vector<std::uint8_t>(colour.end() - kColourRowBytes, colour.end()));

    const std::vector<std::uint8_t> bare = Saved("colour.bgr", 1);
    EXPECT_EQ(bare, colour);
    const std::vector<std::uint8_t> raw = Saved("levels.raw", 7);
    ASSERT_EQ(raw.size(), kRawBytes);
    EXPECT_EQ(Le16(raw, 0), 1000 + 4 * 479);  // the bottom row: sensor line 479
    EXPECT_EQ(Le16(raw, kRawBytes - 2), 1000);

    ASSERT_EQ(Calidra_SetParam(handle, 18, 1), 1);
    const std::vector<std::uint8_t> flipped = Saved("flipped.bgr", 1);
    EXPECT_TRUE(std::equal(flipped.begin(), flipped.begin() + kColourRowBytes, colour.end() - kColourRowBytes));
    EXPECT_EQ(flipped, ReversedRows(colour, kColourRowBytes));
    const std::vector<std::uint8_t> flippedRaw = Saved("flipped.raw", 7);
    EXPECT_EQ(Le16(flippedRaw, 0), 1000);
    EXPECT_EQ(Le16(flippedRaw, kRawBytes - 2), 1000 + 4 * 479);
    // The bitmap keeps its header and turns its picture upside down.
    const std::vector<std::uint8_t> bitmap = Saved("flipped.bmp", 0);
    ASSERT_EQ(bitmap.size(), 921654u);
    EXPECT_EQ(Le32(bitmap, 22), 480u);
    EXPECT_EQ(std::vector<std::uint8_t>(bitmap.begin() + 54, bitmap.end()), ReversedRows(colour, kColourRowBytes));
}

TEST_F(StillFiles, RawPngAndTiffKeepTheLevelTimesSixtyFourModuloTheSampleRange) {
    Frame frame = FlatFrame(2000);
    const std::uint16_t levels[] = {0, 1, 1000, 1023, 1024, 1025, 6000, 16383};
    const std::uint16_t samples[] = {0, 64, 64000, 65472, 0, 64, 56320, 65472};
    for (int x = 0; x < 8; ++x) At(frame, 0, x) = levels[x];
    Capture(frame);

    ASSERT_EQ(SaveCode("levels.png", 8), 0);
    const PngPicture png = ReadPng(files.Path("levels.png"));
    ASSERT_EQ(png.height, 480u);
    EXPECT_EQ(png.width, 640u);
    EXPECT_EQ(png.bitDepth, 16);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_GRAY);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(BigEndianSample(png.rows[0], x), samples[x]) << "level " << levels[x];
    EXPECT_EQ(BigEndianSample(png.rows[479], 0), 62464);  // 2000 x 64 - 65536

    ASSERT_EQ(SaveCode("levels.tif", 9), 0);
    const TiffPicture tiff = ReadTiff(files.Path("levels.tif"));
    EXPECT_EQ(tiff.width, 640u);
    EXPECT_EQ(tiff.height, 480u);
    EXPECT_EQ(tiff.bits, 16);
    EXPECT_EQ(tiff.samples, 1);
    EXPECT_EQ(tiff.photometric, PHOTOMETRIC_MINISBLACK);
    EXPECT_EQ(tiff.compression, COMPRESSION_NONE);
    EXPECT_EQ(tiff.strips, 1u);
    ASSERT_EQ(tiff.strip.size(), 614400u);
    std::vector<std::uint16_t> tiffSamples(kPixels);
    std::memcpy(tiffSamples.data(), tiff.strip.data(), tiff.strip.size());
    for (int x = 0; x < 8; ++x) EXPECT_EQ(tiffSamples[x], samples[x]) << "level " << levels[x];
    EXPECT_EQ(tiffSamples[kPixels - 1], 62464);

    // Flipped, the picture's top row comes last.
    ASSERT_EQ(Calidra_SetParam(handle, 18, 1), 1);
    ASSERT_EQ(SaveCode("flipped.png", 8), 0);
    const PngPicture flippedPng = ReadPng(files.Path("flipped.png"));
    ASSERT_EQ(flippedPng.height, 480u);
    EXPECT_EQ(BigEndianSample(flippedPng.rows[0], 2), 62464);
    EXPECT_EQ(BigEndianSample(flippedPng.rows[479], 2), 64000);
    ASSERT_EQ(SaveCode("flipped.tif", 9), 0);
    const TiffPicture flippedTiff = ReadTiff(files.Path("flipped.tif"));
    ASSERT_EQ(flippedTiff.strip.size(), 614400u);
    std::memcpy(tiffSamples.data(), flippedTiff.strip.data(), flippedTiff.strip.size());
    EXPECT_EQ(tiffSamples[2], 62464);
    EXPECT_EQ(tiffSamples[479 * kWidth + 2], 64000);
}

TEST_F(StillFiles, ColourPngAndTiffAreRedGreenBlueTopRowFirst) {
    Frame frame(kPixels);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) At(frame, y, x) = static_cast<std::uint16_t>(1000 + 4 * y + (x % 7));
    const std::vector<std::uint8_t> colour = Colour(Capture(frame));

    ASSERT_EQ(SaveCode("colour.png", 5), 0);
    const PngPicture png = ReadPng(files.Path("colour.png"));
    ASSERT_EQ(png.height, 480u);
    EXPECT_EQ(png.width, 640u);
    EXPECT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(png.rows[0], RgbRowFromTop(colour, 0));
    EXPECT_EQ(png.rows[479], RgbRowFromTop(colour, 479));

    ASSERT_EQ(SaveCode("colour.tif", 6), 0);
    const TiffPicture tiff = ReadTiff(files.Path("colour.tif"));
    EXPECT_EQ(tiff.width, 640u);
    EXPECT_EQ(tiff.height, 480u);
    EXPECT_EQ(tiff.bits, 8);
    EXPECT_EQ(tiff.samples, 3);
    EXPECT_EQ(tiff.photometric, PHOTOMETRIC_RGB);
    EXPECT_EQ(tiff.compression, COMPRESSION_NONE);
    EXPECT_EQ(tiff.planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(tiff.strips, 1u);
    ASSERT_EQ(tiff.strip.size(), 921600u);
    for (int row : {0, 1, 240, 479}) {
        EXPECT_TRUE(std::equal(tiff.strip.begin() + row * kColourRowBytes,
                               tiff.strip.begin() + (row + 1) * kColourRowBytes, RgbRowFromTop(colour, row).begin()))
            << "row " << row;
    }

    ASSERT_EQ(Calidra_SetParam(handle, 18, 1), 1);
    ASSERT_EQ(SaveCode("flipped.png", 5), 0);
    const PngPicture flipped = ReadPng(files.Path("flipped.png"));
    ASSERT_EQ(flipped.height, 480u);
    EXPECT_EQ(flipped.rows[0], RgbRowFromTop(colour, 479));
    ASSERT_EQ(SaveCode("flipped.tif", 6), 0);
    const TiffPicture flippedTiff = ReadTiff(files.Path("flipped.tif"));
    ASSERT_EQ(flippedTiff.strip.size(), 921600u);
    EXPECT_TRUE(std::equal(flippedTiff.strip.begin(), flippedTiff.strip.begin() + kColourRowBytes,
                           RgbRowFromTop(colour, 479).begin()));
}

TEST_F(StillFiles, JpegsAreProgressiveAtQualitiesOneHundredSeventyAndTwenty) {
    // Top half black (below the range), bottom half white (above it).
    Frame frame(kPixels);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) At(frame, y, x) = y < kHeight / 2 ? 500 : 5000;
    Capture(frame);
    // libjpeg's luminance DC step at those qualities, baseline tables forced.
    const std::pair<int, int> types[] = {{2, 1}, {3, 10}, {4, 40}};
    for (const auto& [type, dc] : types) {
        const std::string name = "q" + std::to_string(type) + ".jpg";
        ASSERT_EQ(SaveCode(name, type), 0);
        const JpegPicture jpeg = ReadJpeg(files.Path(name));
        EXPECT_TRUE(jpeg.progressive) << name;
        EXPECT_EQ(jpeg.width, 640);
        EXPECT_EQ(jpeg.height, 480);
        EXPECT_EQ(jpeg.components, 3);
        EXPECT_EQ(jpeg.lumaDc, dc) << name;
        EXPECT_LT(Mean(jpeg.topRow), 8.0) << name;
        EXPECT_GT(Mean(jpeg.bottomRow), 247.0) << name;
    }
    ASSERT_EQ(Calidra_SetParam(handle, 18, 1), 1);
    ASSERT_EQ(SaveCode("flipped.jpg", 2), 0);
    const JpegPicture flipped = ReadJpeg(files.Path("flipped.jpg"));
    EXPECT_GT(Mean(flipped.topRow), 247.0);
    EXPECT_LT(Mean(flipped.bottomRow), 8.0);
}

// The top sensor line carries the built-in table's telling levels; the picture's
// top row is the last row of a temperature array.
class TemperatureFiles : public StillFiles {
protected:
    void SetUp() override {
        StillFiles::SetUp();
        Frame frame = FlatFrame(6000);
        for (int x = 0; x < 12; ++x) At(frame, 0, x) = kLevels[x];
        Capture(frame);
    }

    static constexpr std::uint16_t kLevels[12] = {0, 1, 10, 1000, 6000, 10000, 16382, 16383, 2595, 6485, 16382, 16383};
    static constexpr std::size_t kTopRow = static_cast<std::size_t>(kHeight - 1) * kWidth;
};

TEST_F(TemperatureFiles, EightBitTypesClampTheBuiltInTable) {
    const std::int8_t s8[] = {-128, -68, -128, -128, 5, 118, 127, -128};
    const std::uint8_t u8[] = {0, 0, 0, 0, 5, 118, 178, 0};
    const std::vector<std::uint8_t> signedBytes = Saved("t.s8", 10);
    const std::vector<std::uint8_t> unsignedBytes = Saved("t.u8", 11);
    ASSERT_EQ(signedBytes.size(), kPixels);
    ASSERT_EQ(unsignedBytes.size(), kPixels);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(static_cast<std::int8_t>(signedBytes[kTopRow + x]), s8[x]) << "level " << kLevels[x];
        EXPECT_EQ(unsignedBytes[kTopRow + x], u8[x]) << "level " << kLevels[x];
    }
    EXPECT_EQ(signedBytes[0], 5);  // level 6000 on the bottom row
    EXPECT_EQ(unsignedBytes[0], 5);

    ASSERT_EQ(Calidra_SetParam(handle, 18, 1), 1);
    const std::vector<std::uint8_t> flipped = Saved("flipped.s8", 10);
    ASSERT_EQ(flipped.size(), kPixels);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(static_cast<std::int8_t>(flipped[x]), s8[x]) << "level " << kLevels[x];
}

TEST_F(TemperatureFiles, IntegerTypeTruncatesTheBuiltInTable) {
    const std::int32_t expected[] = {-999, -68, -270, -217, 5, 118, 178, -999};
    const std::vector<std::uint8_t> bytes = Saved("t.i32", 12);
    ASSERT_EQ(bytes.size(), kTemperatureBytes);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(static_cast<std::int32_t>(Le32(bytes, 4 * (kTopRow + x))), expected[x]) << "level " << kLevels[x];
    EXPECT_EQ(static_cast<std::int32_t>(Le32(bytes, 0)), 5);
}

TEST_F(TemperatureFiles, FloatTypeFollowsTheLevelTableLikeTheReadout) {
    const std::vector<std::uint8_t> bytes = Saved("t.f32", 13);
    ASSERT_EQ(bytes.size(), kTemperatureBytes);
    auto value = [&](std::size_t pixel) {
        float f = 0;
        const std::uint32_t bits = Le32(bytes, 4 * pixel);
        std::memcpy(&f, &bits, 4);
        return f;
    };
    EXPECT_NEAR(value(kTopRow + 8), 0.0f, 1e-5f);
    EXPECT_FLOAT_EQ(value(kTopRow + 9), 125.0f);
    EXPECT_FLOAT_EQ(value(kTopRow + 10), 443.0269922879f);
    EXPECT_FLOAT_EQ(value(kTopRow + 11), 149.98840332f);

    std::vector<float> readout(kPixels);
    ASSERT_EQ(Calidra_GetTemperature(handle, Calidra_GetNewID(handle), readout.data(), kTemperatureBytes), 1);
    EXPECT_EQ(std::memcmp(readout.data(), bytes.data(), bytes.size()), 0);

    // An edited level table changes the float file only.
    ASSERT_EQ(Calidra_SetThermoTable(handle, 6000, 42.5), 1);
    ASSERT_EQ(Calidra_SetOffsetValue(handle, 6000, 0.25), 1);
    const std::vector<std::uint8_t> edited = Saved("edited.f32", 13);
    float first = 0;
    const std::uint32_t bits = Le32(edited, 0);
    std::memcpy(&first, &bits, 4);
    EXPECT_EQ(first, 42.75f);
    EXPECT_EQ(static_cast<std::int32_t>(Le32(Saved("edited.i32", 12), 0)), 5);
}

TEST_F(TemperatureFiles, LevelTableEntriesStopAtItsCount) {
    int ok = -1;
    EXPECT_EQ(Calidra_GetThermoTable(handle, 16384, &ok), 0.0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Calidra_SetThermoTable(handle, 16384, 1.0), 0);
    EXPECT_EQ(Calidra_GetThermoTable(handle, 16383, &ok), 190.0 * 16383 / 16384 - 40);
    EXPECT_EQ(ok, 1);
    // The index is 16 bits wide: 65,536 is entry 0.
    ok = -1;
    EXPECT_EQ(Calidra_GetThermoTable(handle, static_cast<unsigned short>(65536), &ok), -83.38688946015424);
    EXPECT_EQ(ok, 1);
}

TEST_F(StillFiles, WideAndNarrowNamesReachTheSameFile) {
    Capture(FlatFrame(2000));
    // The file a wide name reaches: the name in UTF-8 on Linux. The A forms
    // take UTF-8, or the ANSI code page on Windows.
    auto fileOf = [&]([[maybe_unused]] const std::wstring& wide, [[maybe_unused]] const char* utf8) {
#if defined(_WIN32)
        return std::filesystem::path(wide);
#else
        return files.Path(utf8);
#endif
    };
    const std::wstring wide = files.Path("").wstring() + L"Bild-\u00e4.bmp";
    const std::filesystem::path narrow = fileOf(wide, "Bild-\xc3\xa4.bmp");
    ClearErrors();
    ASSERT_EQ(Calidra_SaveW(handle, wide.c_str(), 0), 1);
    EXPECT_EQ(std::filesystem::file_size(narrow), 921654u);
    ASSERT_EQ(Calidra_SaveA(handle, TextConversion::NarrowFromWide(wide.c_str()).c_str(), 1), 1);
    EXPECT_EQ(std::filesystem::file_size(narrow), 921600u);

    const std::wstring correction = files.Path("").wstring() + L"Korrektur-\u00e4.corset";
    ASSERT_EQ(Calidra_SaveNucDataW(handle, correction.c_str(), FILESAVETYPE_CORSET), 1);
    EXPECT_EQ(std::filesystem::file_size(fileOf(correction, "Korrektur-\xc3\xa4.corset")), 9830448u);
    EXPECT_EQ(Calidra_LoadNucDataW(handle, correction.c_str(), FILESAVETYPE_CORSET), 1);
    EXPECT_EQ(Calidra_GetLastError(handle), 0);
}

TEST_F(StillFiles, UnwritablePathsGiveFileError) {
    Capture(FlatFrame(2000));
    const std::string missing = files.Narrow("no-such-folder/picture");
    for (int type = 0; type <= 13; ++type) {
        ClearErrors();
        EXPECT_EQ(Calidra_SaveA(handle, missing.c_str(), type), 0) << type;
        EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE) << type;
    }
    // Encoder failures on a full disk end the save, not the process.
    if (std::filesystem::exists("/dev/full")) {
        for (int type = 0; type <= 13; ++type) {
            ClearErrors();
            EXPECT_EQ(Calidra_SaveA(handle, "/dev/full", type), 0) << type;
            EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE) << type;
        }
    }
    const std::string unusable = files.Narrow(std::string(5000, 'x'));
    for (int type : {0, 1, 2, 5, 6, 7, 10, 13}) {
        ClearErrors();
        EXPECT_EQ(Calidra_SaveA(handle, unusable.c_str(), type), 0) << type;
        EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE) << type;
    }
    for (int type : {0, 1, 5, 6, 7, 13}) {
        ClearErrors();
        EXPECT_EQ(Calidra_SaveA(handle, nullptr, type), 0) << type;
        EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE) << type;
    }
}

// ---------------------------------------------------------------------------
// Recordings

constexpr std::uint32_t kChunk = 921608;  // "00db", size, 921,600 pixel bytes

class Recordings : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        frame = RampFrame(1000);
        CalidraSim_SetFrame(0, frame.data());
        ASSERT_EQ(Calidra_Preview(handle), 1);
        ASSERT_TRUE(WaitFrames(2));
    }

    bool FileOpen() { return Calidra_GetParam(handle, 7) == 1; }

    // Starts recording kind into name and waits until the file is open and
    // `frames` more frames have come.
    void StartRecording(const std::string& name, int kind, int frames) {
        ASSERT_EQ(Calidra_RecA(handle, files.Narrow(name).c_str(), kind), 1);
        ASSERT_TRUE(WaitUntil([&] { return FileOpen(); }));
        DrainMessages();
        ASSERT_TRUE(WaitFrames(frames));
    }

    // Ends the recording and waits until its file is closed.
    void StopRecording(const std::string& name) {
        ASSERT_EQ(Calidra_RecA(handle, files.Narrow(name).c_str(), 0), 1);
        ASSERT_TRUE(WaitUntil([&] { return !FileOpen(); }));
    }

    // Records kind into name for about `frames` frames, then ends the recording.
    void Record(const std::string& name, int kind, int frames) {
        ASSERT_NO_FATAL_FAILURE(StartRecording(name, kind, frames));
        ASSERT_NO_FATAL_FAILURE(StopRecording(name));
    }

    // Takes frames until code has been posted; the hang guard bounds the wait.
    void FramesUntilPosted(int code) {
        const auto start = std::chrono::steady_clock::now();
        while (!Seen(code) && std::chrono::steady_clock::now() - start < kHangGuard) ASSERT_TRUE(WaitFrames(1));
    }

    // Checks the finished AVI's structure; its frame count.
    static std::uint32_t CheckFinishedAvi(const std::vector<std::uint8_t>& avi) {
        const std::uint32_t n = Le32(avi, 48);
        EXPECT_EQ(Le32(avi, 140), n);
        EXPECT_EQ(avi.size(), 232u + std::size_t{n} * kChunk + 8 + 16u * n);
        EXPECT_EQ(FourCc(avi, 0), "RIFF");
        EXPECT_EQ(Le32(avi, 4), avi.size() - 8);
        EXPECT_EQ(Le32(avi, 224), 4 + n * kChunk);
        const std::size_t index = 232 + std::size_t{n} * kChunk;
        EXPECT_EQ(FourCc(avi, index), "idx1");
        EXPECT_EQ(Le32(avi, index + 4), 16 * n);
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::size_t entry = index + 8 + 16 * i;
            EXPECT_EQ(FourCc(avi, entry), "00db");
            EXPECT_EQ(Le32(avi, entry + 4), 0x10u);
            EXPECT_EQ(Le32(avi, entry + 8), 4 + i * kChunk);
            EXPECT_EQ(Le32(avi, entry + 12), 921600u);
            EXPECT_EQ(FourCc(avi, 232 + std::size_t{i} * kChunk), "00db");
        }
        // Both timings come from one measured rate r (frames per 100 s).
        const std::uint32_t micro = Le32(avi, 32);
        const std::uint32_t scale = Le32(avi, 128);
        EXPECT_GT(micro, 0u);
        bool oneRate = false;
        for (std::uint32_t r = 100000000u / (micro + 1) + 1; r <= 100000000u / micro && !oneRate; ++r)
            oneRate = 1000000000u / r == scale;
        EXPECT_TRUE(oneRate) << micro << " us per frame, scale " << scale;
        return n;
    }

    Frame frame;
    ScratchDir files{"api-recordings"};
};

TEST_F(Recordings, FinishedAviHoldsItsTotalsHeadersAndIndex) {
    const std::vector<std::uint8_t> colour = Colour(Calidra_GetNewID(handle));
    Record("clip.avi", 2, 8);
    const std::vector<std::uint8_t> avi = ReadAll(files.Path("clip.avi"));
    const std::uint32_t n = CheckFinishedAvi(avi);
    ASSERT_GE(n, 2u);
    EXPECT_EQ(Le32(avi, 232 + n * kChunk + 8 + 8), 4u);  // the first index entry's offset
    EXPECT_EQ(Le32(avi, 232 + n * kChunk + 8 + 16 + 8), 921612u);
    const std::pair<std::size_t, std::uint32_t> fixed[] = {
        {16, 200}, {28, 56},  {44, 0x10010}, {52, 0},   {56, 1},         {60, kChunk}, {64, 640},
        {68, 480}, {92, 124}, {104, 64},     {116, 0},  {132, 10000000}, {136, 0},     {144, kChunk},
        {148, 0},  {152, 0},  {176, 40},     {180, 40}, {184, 640},      {188, 480},   {196, 0}};
    for (const auto& [offset, value] : fixed) EXPECT_EQ(Le32(avi, offset), value) << "offset " << offset;
    // Reserved words, stream flags to initial frames, the frame rectangle and the
    // rest of the bitmap header are 0.
    for (const auto& [from, to] :
         {std::pair<std::size_t, std::size_t>{40, 44}, {72, 88}, {116, 128}, {156, 172}, {196, 220}}) {
        for (std::size_t offset = from; offset < to; offset += 4) EXPECT_EQ(Le32(avi, offset), 0u) << offset;
    }
    EXPECT_EQ(FourCc(avi, 8), "AVI ");
    EXPECT_EQ(FourCc(avi, 12), "LIST");
    EXPECT_EQ(FourCc(avi, 20), "hdrl");
    EXPECT_EQ(FourCc(avi, 24), "avih");
    EXPECT_EQ(FourCc(avi, 88), "LIST");
    EXPECT_EQ(FourCc(avi, 96), "strl");
    EXPECT_EQ(FourCc(avi, 100), "strh");
    EXPECT_EQ(FourCc(avi, 108), "vids");
    EXPECT_EQ(FourCc(avi, 112), "DIB ");
    EXPECT_EQ(FourCc(avi, 172), "strf");
    EXPECT_EQ(Le16(avi, 192), 1);
    EXPECT_EQ(Le16(avi, 194), 24);
    EXPECT_EQ(FourCc(avi, 220), "LIST");
    EXPECT_EQ(FourCc(avi, 228), "movi");
    EXPECT_EQ(Le32(avi, 236), 921600u);
    // Chunks hold the colour picture bottom row first, as the readout does.
    EXPECT_TRUE(std::equal(colour.begin(), colour.end(), avi.begin() + 240));
}

TEST_F(Recordings, AnOpenAviCarriesTheNominalRateUntilItIsFinished) {
    ASSERT_NO_FATAL_FAILURE(StartRecording("open.avi", 2, 2));
    const std::vector<std::uint8_t> head = ReadSome(files.Path("open.avi"), 0, 232);
    ASSERT_EQ(head.size(), 232u);
    const std::pair<std::size_t, std::uint32_t> opened[] = {{4, 0},   {32, 33333}, {48, 0},     {128, 333333},
                                                            {140, 0}, {224, 0},    {60, kChunk}};
    for (const auto& [offset, value] : opened) EXPECT_EQ(Le32(head, offset), value) << "offset " << offset;
    ASSERT_NO_FATAL_FAILURE(StopRecording("open.avi"));
    EXPECT_GE(CheckFinishedAvi(ReadAll(files.Path("open.avi"))), 1u);
}

TEST_F(Recordings, TheSizeLimitCountsWholeMebibytesOfTheAvi) {
    // Two frames make 1,843,440 bytes after the RIFF size, three 2,765,048: with
    // a limit of 2 MiB every file ends after its third frame.
    ASSERT_EQ(Calidra_SetParam(handle, 11, 2), 1);
    ASSERT_EQ(Calidra_RecA(handle, files.Narrow("limit.avi").c_str(), 2), 1);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(files.Path("limit_2.avi")); }));
    ASSERT_NO_FATAL_FAILURE(StopRecording("limit.avi"));
    EXPECT_EQ(CheckFinishedAvi(ReadAll(files.Path("limit.avi"))), 3u);
    EXPECT_EQ(CheckFinishedAvi(ReadAll(files.Path("limit_1.avi"))), 3u);

    // Raw streams have no RIFF size: a limit above 0 never splits them.
    ASSERT_EQ(Calidra_SetParam(handle, 11, 1), 1);
    Record("long.raw", 1, 6);
    EXPECT_GE(std::filesystem::file_size(files.Path("long.raw")), 5u * 614400);
    EXPECT_FALSE(std::filesystem::exists(files.Path("long_1.raw")));
}

TEST_F(Recordings, RawAndTemperatureStreamsHoldWholeFramesBottomRowFirst) {
    Record("clip.raw", 1, 4);
    const std::vector<std::uint8_t> raw = ReadAll(files.Path("clip.raw"));
    ASSERT_GE(raw.size(), 614400u);
    EXPECT_EQ(raw.size() % 614400, 0u);
    EXPECT_EQ(Le16(raw, 0), 1000 + 479);
    EXPECT_EQ(Le16(raw, 614398), 1000);

    Frame levels = FlatFrame(10000);
    for (int x = 0; x < kWidth; ++x) At(levels, 0, x) = 6000;
    CalidraSim_SetFrame(0, levels.data());
    ASSERT_TRUE(WaitUntilStored(levels));
    Record("clip.f32", 3, 4);
    const std::vector<std::uint8_t> temps = ReadAll(files.Path("clip.f32"));
    ASSERT_GE(temps.size(), 1228800u);
    EXPECT_EQ(temps.size() % 1228800, 0u);
    auto at = [&](std::size_t pixel) {
        float f = 0;
        const std::uint32_t bits = Le32(temps, 4 * pixel);
        std::memcpy(&f, &bits, 4);
        return f;
    };
    EXPECT_NEAR(at(0), 118.57f, 0.006f);                                     // level 10000, bottom row
    EXPECT_NEAR(at(static_cast<std::size_t>(479) * kWidth), 5.60f, 0.006f);  // level 6000, top row
}

TEST_F(Recordings, FlipFilePutsTheTopRowFirstInEveryKind) {
    const std::vector<std::uint8_t> colour = Colour(Calidra_GetNewID(handle));
    ASSERT_EQ(Calidra_SetParam(handle, 18, 1), 1);
    Record("flip.avi", 2, 3);
    Record("flip.raw", 1, 3);
    const std::vector<std::uint8_t> avi = ReadAll(files.Path("flip.avi"));
    ASSERT_GE(CheckFinishedAvi(avi), 1u);
    EXPECT_TRUE(std::equal(colour.end() - kColourRowBytes, colour.end(), avi.begin() + 240));
    const std::vector<std::uint8_t> raw = ReadAll(files.Path("flip.raw"));
    ASSERT_GE(raw.size(), 614400u);
    EXPECT_EQ(Le16(raw, 0), 1000);
    EXPECT_EQ(Le16(raw, 614398), 1000 + 479);

    Frame levels = FlatFrame(10000);
    for (int x = 0; x < kWidth; ++x) At(levels, 0, x) = 6000;
    CalidraSim_SetFrame(0, levels.data());
    ASSERT_TRUE(WaitUntilStored(levels));
    Record("flip.f32", 3, 3);
    const std::vector<std::uint8_t> temps = ReadAll(files.Path("flip.f32"));
    ASSERT_GE(temps.size(), 1228800u);
    float first = 0;
    const std::uint32_t bits = Le32(temps, 0);
    std::memcpy(&first, &bits, 4);
    EXPECT_NEAR(first, 5.60f, 0.006f);
}

TEST_F(Recordings, AnUnknownKindGivesFileErrorAtTheNextFrame) {
    ClearErrors();
    ASSERT_EQ(Calidra_RecA(handle, files.Narrow("seven.avi").c_str(), 7), 1);
    EXPECT_EQ(Calidra_GetParam(handle, 4), 7);
    ASSERT_NO_FATAL_FAILURE(FramesUntilPosted(ERR_FILE));
    EXPECT_TRUE(Seen(ERR_FILE));
    EXPECT_EQ(Calidra_GetParam(handle, 7), 0);
    EXPECT_FALSE(std::filesystem::exists(files.Path("seven.avi")));
}

TEST_F(Recordings, ANewPathStartsTheNewNameWithoutANumber) {
    ASSERT_NO_FATAL_FAILURE(StartRecording("first.avi", 2, 3));
    ASSERT_EQ(Calidra_RecA(handle, files.Narrow("second.avi").c_str(), 2), 1);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(files.Path("second.avi")); }));
    DrainMessages();
    ASSERT_TRUE(WaitFrames(3));
    ASSERT_NO_FATAL_FAILURE(StopRecording("second.avi"));

    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(files.Path("")))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"first.avi", "second.avi"}));
    EXPECT_GE(CheckFinishedAvi(ReadAll(files.Path("first.avi"))), 1u);
    EXPECT_GE(CheckFinishedAvi(ReadAll(files.Path("second.avi"))), 1u);
}

TEST_F(Recordings, LimitZeroSplitsAfterEveryFrame) {
    ASSERT_EQ(Calidra_SetParam(handle, 11, 0), 1);
    ASSERT_EQ(Calidra_RecA(handle, files.Narrow("split.avi").c_str(), 2), 1);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(files.Path("split_3.avi")); }));
    ASSERT_NO_FATAL_FAILURE(StopRecording("split.avi"));
    for (const char* name : {"split.avi", "split_1.avi", "split_2.avi"}) {
        const std::vector<std::uint8_t> avi = ReadAll(files.Path(name));
        EXPECT_EQ(CheckFinishedAvi(avi), 1u) << name;
        EXPECT_EQ(avi.size(), 232u + kChunk + 8 + 16) << name;
    }

    ASSERT_EQ(Calidra_RecA(handle, files.Narrow("split.raw").c_str(), 1), 1);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(files.Path("split_3.raw")); }));
    ASSERT_NO_FATAL_FAILURE(StopRecording("split.raw"));
    for (const char* name : {"split.raw", "split_1.raw", "split_2.raw"})
        EXPECT_EQ(std::filesystem::file_size(files.Path(name)), 614400u) << name;
}

TEST_F(Recordings, AStreamThatDiesLeavesAFinishedAvi) {
    ASSERT_NO_FATAL_FAILURE(StartRecording("unplugged.avi", 2, 3));
    CalidraSim_SetPresent(0, 0);
    ASSERT_TRUE(WaitUntil([&] {
        DrainMessages();
        return Seen(ERR_STREAM_END);
    }));
    // Told only once the file is whole.
    EXPECT_GE(CheckFinishedAvi(ReadAll(files.Path("unplugged.avi"))), 1u);
}

TEST_F(Recordings, AnAviWithoutFramesIsFinishedAtTheNominalRate) {
    ASSERT_EQ(Calidra_Close(handle), 1);
    CalidraSim_SetFrameRate(0, 0.5);
    ASSERT_EQ(Calidra_RecA(handle, files.Narrow("empty.avi").c_str(), 2), 1);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    ASSERT_TRUE(WaitUntil([&] { return FileOpen(); }));
    ASSERT_EQ(Calidra_Close(handle), 1);
    const std::vector<std::uint8_t> avi = ReadAll(files.Path("empty.avi"));
    ASSERT_EQ(avi.size(), 240u);
    EXPECT_EQ(Le32(avi, 4), 232u);
    EXPECT_EQ(Le32(avi, 32), 33333u);
    EXPECT_EQ(Le32(avi, 48), 0u);
    EXPECT_EQ(Le32(avi, 128), 333333u);
    EXPECT_EQ(Le32(avi, 140), 0u);
    EXPECT_EQ(Le32(avi, 224), 4u);
    EXPECT_EQ(FourCc(avi, 232), "idx1");
    EXPECT_EQ(Le32(avi, 236), 0u);
}

TEST_F(Recordings, PathsAreKeptWholeAndOnlyUnusableOnesFail) {
#if !defined(_WIN32)
    // Longer than a Windows path, but a usable name here.
    std::string name;
    for (int level = 0; level < 4; ++level) name += std::string(80, static_cast<char>('a' + level)) + "/";
    name += "long.raw";
    std::filesystem::create_directories(files.Path(name).parent_path());
    ASSERT_GT(files.Narrow(name).size(), 330u);
    Record(name, 1, 2);
    EXPECT_GE(std::filesystem::file_size(files.Path(name)), 614400u);
#endif

    const std::string unusable = files.Narrow(std::string(5000, 'x') + ".raw");
    for (const char* path : {unusable.c_str(), static_cast<const char*>(nullptr)}) {
        errorsSeen.clear();
        ASSERT_EQ(Calidra_RecA(handle, path, 1), 1);
        ASSERT_NO_FATAL_FAILURE(FramesUntilPosted(ERR_FILE));
        EXPECT_TRUE(Seen(ERR_FILE));
        EXPECT_EQ(Calidra_GetParam(handle, 7), 0);
        ASSERT_EQ(Calidra_RecA(handle, path, 0), 1);
    }
}

TEST_F(Recordings, CloseAndReleaseFinishAnOpenAvi) {
    ASSERT_NO_FATAL_FAILURE(StartRecording("closed.avi", 2, 3));
    ASSERT_EQ(Calidra_Close(handle), 1);
    EXPECT_GE(CheckFinishedAvi(ReadAll(files.Path("closed.avi"))), 1u);

    ASSERT_EQ(Calidra_RecA(handle, files.Narrow("released.avi").c_str(), 2), 1);
    ASSERT_EQ(Calidra_Preview(handle), 1);
    ASSERT_TRUE(WaitUntil([&] { return FileOpen(); }));
    DrainMessages();
    ASSERT_TRUE(WaitFrames(3));
    ASSERT_EQ(Calidra_Release(handle), 1);
    handle = 0;
    EXPECT_GE(CheckFinishedAvi(ReadAll(files.Path("released.avi"))), 1u);
}

// ---------------------------------------------------------------------------
// Correction-data files

constexpr std::size_t kPlaneBytes = kPixels * 8;
constexpr std::size_t kCorrectionBytes = 48 + 4 * kPlaneBytes;

double PlaneValue(int plane, std::size_t i) {
    switch (plane) {
        case 0:
            return 1.0 + static_cast<double>(i % 7) * 0.001;
        case 1:
            return static_cast<double>(i % 13) - 6.5;
        case 2:
            return -static_cast<double>(i % 5) * 0.25;
        default:
            return 1.0 - static_cast<double>(i % 3) * 0.0625;
    }
}

// A correction file with distinct values in every plane; `planes` of them.
std::vector<std::uint8_t> CorrectionFile(const char* magic, int planes = 4) {
    std::vector<std::uint8_t> bytes(48 + static_cast<std::size_t>(planes) * kPlaneBytes);
    std::memcpy(bytes.data(), magic, std::strlen(magic));
    PutLe32(bytes, 16, 640);
    PutLe32(bytes, 20, 480);
    PutLe32(bytes, 24, 0x00051234);
    PutLe32(bytes, 28, static_cast<std::uint32_t>(kPlaneBytes));
    PutDouble(bytes, 32, 512.5);
    PutLe32(bytes, 40, 7);  // flags: never taken over
    PutLe32(bytes, 44, 9);
    for (int plane = 0; plane < planes; ++plane)
        for (std::size_t i = 0; i < kPixels; ++i)
            PutDouble(bytes, 48 + plane * kPlaneBytes + 8 * i, PlaneValue(plane, i));
    return bytes;
}

class CorrectionFiles : public ApiTest {
protected:
    int Load(const std::string& name, FILESAVETYPE type = FILESAVETYPE_CORSET) {
        ClearErrors();
        const int result = Calidra_LoadNucDataA(handle, files.Narrow(name).c_str(), type);
        const int code = Calidra_GetLastError(handle);
        EXPECT_EQ(result, code == 0 ? 1 : 0);
        return code;
    }

    std::vector<std::uint8_t> SaveNow(const std::string& name) {
        ClearErrors();
        EXPECT_EQ(Calidra_SaveNucDataA(handle, files.Narrow(name).c_str(), FILESAVETYPE_CORSET), 1);
        EXPECT_EQ(Calidra_GetLastError(handle), 0);
        return ReadAll(files.Path(name));
    }

    // A refused file leaves exactly the correction saved before it.
    void ExpectRefused(const std::string& name) {
        const std::vector<std::uint8_t> before = SaveNow("before-" + name);
        EXPECT_EQ(Load(name), ERR_FILE) << name;
        EXPECT_EQ(SaveNow("after-" + name), before) << name;
    }

    ScratchDir files{"api-correction"};
};

TEST_F(CorrectionFiles, TheDefaultCorrectionIsSavedWithItsHeader) {
    const std::vector<std::uint8_t> saved = SaveNow("default.corset");
    ASSERT_EQ(saved.size(), kCorrectionBytes);
    EXPECT_EQ(std::memcmp(saved.data(), "VL-CORSET-V1020\0", 16), 0);
    EXPECT_EQ(Le32(saved, 16), 640u);
    EXPECT_EQ(Le32(saved, 20), 480u);
    EXPECT_EQ(Le32(saved, 28), kPlaneBytes);
    EXPECT_EQ(DoubleAt(saved, 32), 1024.0);
    EXPECT_EQ(Le32(saved, 40), 0u);
    EXPECT_EQ(Le32(saved, 44), 0u);
    const double identity[] = {1.0, 0.0, 0.0, 1.0};
    for (int plane = 0; plane < 4; ++plane)
        for (std::size_t i : {std::size_t{0}, kPixels / 2, kPixels - 1})
            EXPECT_EQ(DoubleAt(saved, 48 + plane * kPlaneBytes + 8 * i), identity[plane]);
}

TEST_F(CorrectionFiles, SaveAfterLoadGivesTheSameFileWithFlagsZero) {
    std::vector<std::uint8_t> file = CorrectionFile("VL-CORSET-V1020");
    WriteAll(files.Path("in.corset"), file);
    ASSERT_EQ(Load("in.corset"), 0);
    const std::vector<std::uint8_t> saved = SaveNow("out.corset");
    PutLe32(file, 40, 0);
    PutLe32(file, 44, 0);
    ASSERT_EQ(saved.size(), kCorrectionBytes);
    EXPECT_TRUE(saved == file);
    EXPECT_EQ(Le32(saved, 24), 0x00051234u);
    EXPECT_EQ(DoubleAt(saved, 32), 512.5);

    // The next frame is corrected with the loaded planes, clamped and truncated.
    const std::vector<std::uint16_t> raw = Raw(Capture(FlatFrame(4000)));
    int wrong = 0;
    for (int line = 0; line < kHeight; ++line) {
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t i = static_cast<std::size_t>(line) * kWidth + x;
            const double v = ((4000.0 * PlaneValue(0, i) + PlaneValue(1, i)) + PlaneValue(2, i)) * PlaneValue(3, i);
            const auto expected = static_cast<std::uint16_t>(v < 0 ? 0 : v > 16383.0 ? 16383 : v);
            wrong += raw[static_cast<std::size_t>(kHeight - 1 - line) * kWidth + x] != expected;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(CorrectionFiles, CorrectedLevelsAreClampedAndTruncated) {
    // Identity planes but for the offsets of five pixels of the top sensor line.
    std::vector<std::uint8_t> file(kCorrectionBytes);
    std::memcpy(file.data(), "VL-CORSET-V1020", 15);
    PutLe32(file, 16, 640);
    PutLe32(file, 20, 480);
    PutLe32(file, 28, static_cast<std::uint32_t>(kPlaneBytes));
    for (std::size_t i = 0; i < kPixels; ++i) {
        PutDouble(file, 48 + 8 * i, 1.0);
        PutDouble(file, 48 + 3 * kPlaneBytes + 8 * i, 1.0);
    }
    const double offsets[] = {0.7, -0.5, 0.9, 5000.0, -3000.0};
    const std::uint16_t levels[] = {16383, 0, 100, 16000, 2000};
    const std::uint16_t corrected[] = {16383, 0, 100, 16383, 0};
    Frame frame = FlatFrame(3000);
    for (int x = 0; x < 5; ++x) {
        PutDouble(file, 48 + kPlaneBytes + 8 * static_cast<std::size_t>(x), offsets[x]);
        At(frame, 0, x) = levels[x];
    }
    WriteAll(files.Path("offsets.corset"), file);
    ASSERT_EQ(Load("offsets.corset"), 0);
    const std::vector<std::uint16_t> raw = Raw(Capture(frame));
    const std::size_t top = static_cast<std::size_t>(kHeight - 1) * kWidth;
    for (int x = 0; x < 5; ++x) EXPECT_EQ(raw[top + x], corrected[x]) << "offset " << offsets[x];
    EXPECT_EQ(raw[top + 5], 3000);
}

TEST_F(CorrectionFiles, VersionBelow1020HasNoScalePlane) {
    WriteAll(files.Path("v1000.corset"), CorrectionFile("VL-CORSET-V1000", 3));
    ASSERT_EQ(Load("v1000.corset"), 0);
    const std::vector<std::uint8_t> saved = SaveNow("out.corset");
    ASSERT_EQ(saved.size(), kCorrectionBytes);
    for (std::size_t i : {std::size_t{0}, std::size_t{1}, std::size_t{2}, kPixels - 1}) {
        for (int plane = 0; plane < 3; ++plane)
            EXPECT_EQ(DoubleAt(saved, 48 + plane * kPlaneBytes + 8 * i), PlaneValue(plane, i));
        EXPECT_EQ(DoubleAt(saved, 48 + 3 * kPlaneBytes + 8 * i), 1.0);
    }
}

TEST_F(CorrectionFiles, VersionTextIsReadAsADecimalNumber) {
    WriteAll(files.Path("v0999.corset"), CorrectionFile("VL-CORSET-V0999"));
    ExpectRefused("v0999.corset");

    WriteAll(files.Path("vtext.corset"), CorrectionFile("VL-CORSET-Vabcd", 3));
    ASSERT_EQ(Load("vtext.corset"), 0);
    const std::vector<std::uint8_t> saved = SaveNow("out.corset");
    EXPECT_EQ(DoubleAt(saved, 48 + 8), PlaneValue(0, 1));
    EXPECT_EQ(DoubleAt(saved, 48 + 3 * kPlaneBytes + 8), 1.0);
}

TEST_F(CorrectionFiles, OnlyTypeZeroIsAFormat) {
    ClearErrors();
    EXPECT_EQ(Calidra_SaveNucDataA(handle, files.Narrow("one.corset").c_str(), static_cast<FILESAVETYPE>(1)), 0);
    EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE);
    EXPECT_FALSE(std::filesystem::exists(files.Path("one.corset")));

    WriteAll(files.Path("good.corset"), CorrectionFile("VL-CORSET-V1020"));
    const std::vector<std::uint8_t> before = SaveNow("before.corset");
    EXPECT_EQ(Load("good.corset", static_cast<FILESAVETYPE>(1)), ERR_FILE);
    EXPECT_EQ(SaveNow("after.corset"), before);
}

TEST_F(CorrectionFiles, RefusedFilesLeaveTheCorrectionInUse) {
    std::vector<std::uint8_t> wrongSize = CorrectionFile("VL-CORSET-V1020");
    PutLe32(wrongSize, 28, static_cast<std::uint32_t>(kPlaneBytes + 8));
    WriteAll(files.Path("plane-size.corset"), wrongSize);
    ExpectRefused("plane-size.corset");

    std::vector<std::uint8_t> foreign = CorrectionFile("VL-DATSET-V1020");
    WriteAll(files.Path("foreign.corset"), foreign);
    ExpectRefused("foreign.corset");

    std::vector<std::uint8_t> shortFile = CorrectionFile("VL-CORSET-V1020");
    shortFile.resize(shortFile.size() - 1);
    WriteAll(files.Path("short.corset"), shortFile);
    ExpectRefused("short.corset");

    // Planes smaller than the frame would leave pixels without a correction.
    std::vector<std::uint8_t> small(48 + 4 * 320 * 240 * 8);
    std::memcpy(small.data(), "VL-CORSET-V1020", 15);
    PutLe32(small, 16, 320);
    PutLe32(small, 20, 240);
    PutLe32(small, 28, 320 * 240 * 8);
    WriteAll(files.Path("small.corset"), small);
    ExpectRefused("small.corset");

    ExpectRefused("missing.corset");
    ClearErrors();
    EXPECT_EQ(Calidra_LoadNucDataA(handle, nullptr, FILESAVETYPE_CORSET), 0);
    EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE);
    EXPECT_EQ(Calidra_SaveNucDataA(handle, nullptr, FILESAVETYPE_CORSET), 0);
    EXPECT_EQ(Calidra_GetLastError(handle), ERR_FILE);
}

}  // namespace
}  // namespace calidra
