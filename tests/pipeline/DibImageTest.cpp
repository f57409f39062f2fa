#include "pipeline/DibImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace calidra {
namespace {

// Fills every pixel byte (not the padding at the end of a line) with a value
// made from its line and byte position.
void FillPattern(DibImage& image) {
    const std::int32_t used = image.Width() * (image.BitCount() / 8);
    for (std::int32_t r = 0; r < image.Height(); ++r) {
        std::uint8_t* line = image.Row(r);
        for (std::int32_t c = 0; c < used; ++c) line[c] = static_cast<std::uint8_t>(r * 31 + c * 7 + 1);
    }
}

TEST(DibImageGeometry, BytesPerLineRoundUpToFour) {
    DibImage image;
    ASSERT_TRUE(image.Create(640, 480, 16));
    EXPECT_EQ(image.Stride(), 1280);
    ASSERT_TRUE(image.Create(640, 480, 24));
    EXPECT_EQ(image.Stride(), 1920);
    EXPECT_EQ(image.ImageSize(), 1920u * 480u);
    ASSERT_TRUE(image.Create(641, 1, 24));
    EXPECT_EQ(image.Stride(), 1924);
    ASSERT_TRUE(image.CreateInMemory(3, 2, 8));
    EXPECT_EQ(image.Stride(), 4);
}

TEST(DibImageGeometry, HeaderDescribesABottomUpImage) {
    DibImage image;
    ASSERT_TRUE(image.Create(640, 480, 24));
    const BitmapInfoHeader& h = image.Header();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 480);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 0u);

    std::uint8_t packed[BitmapInfoHeader::kBytes];
    h.Pack(packed);
    const std::uint8_t expected[] = {40, 0, 0, 0, 0x80, 2, 0, 0, 0xE0, 1, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                                     0,  0, 0, 0, 0,    0, 0, 0, 0,    0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(packed, expected, sizeof expected), 0);
}

TEST(DibImageGeometry, NewPixelsAreZero) {
    DibImage image;
    ASSERT_TRUE(image.Create(5, 3, 24));
    for (std::size_t i = 0; i < image.ImageSize(); ++i) ASSERT_EQ(image.Bits()[i], 0) << i;
}

TEST(DibImageGeometry, RefusedSizesLeaveTheImageAsItWas) {
    DibImage image;
    ASSERT_TRUE(image.Create(4, 4, 16));
    image.Bits()[0] = 9;
    EXPECT_FALSE(image.Create(0, 4, 16));
    EXPECT_FALSE(image.Create(4, -1, 16));
    EXPECT_FALSE(image.Create(4, 4, 0));
    EXPECT_FALSE(image.CreateInMemory(-4, 4, 16));
    // Depths below a byte would give lines without bytes.
    EXPECT_FALSE(image.Create(4, 4, 4));
    EXPECT_FALSE(image.Create(4, 4, 12));
    // Beyond what 32-bit sizes can address.
    EXPECT_FALSE(image.Create(0x7FFFFFFF, 2, 32));
    EXPECT_EQ(image.Width(), 4);
    EXPECT_EQ(image.BitCount(), 16);
    EXPECT_EQ(image.Bits()[0], 9);
}

TEST(DibImageRelease, EmptyImageIsHarmless) {
    DibImage image;
    EXPECT_EQ(image.Release(), 0);
    EXPECT_EQ(image.Release(), 0);
    EXPECT_FALSE(image.HasPixels());
    EXPECT_EQ(image.Bits(), nullptr);
    EXPECT_EQ(image.Header().biSize, 40u);
}

TEST(DibImageRelease, ReturnsToTheEmptyState) {
    DibImage image;
    ASSERT_TRUE(image.Create(8, 8, 8));
    EXPECT_EQ(image.Release(), 0);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_EQ(image.Stride(), 0);
    EXPECT_EQ(image.BitCount(), 0);
    EXPECT_EQ(image.Bits(), nullptr);
    EXPECT_TRUE(image.ColorTable().empty());
    EXPECT_EQ(image.Header().biSize, 40u);
    EXPECT_EQ(image.Header().biWidth, 0);
    EXPECT_EQ(image.Header().biBitCount, 0);
}

TEST(DibImageColorTable, EightBitImagesGetTheGreyRamp) {
    DibImage image;
    ASSERT_TRUE(image.Create(16, 16, 8));
    auto table = image.ColorTable();
    ASSERT_EQ(table.size(), 256u);
    for (int i = 0; i < 256; ++i) {
        auto level = static_cast<std::uint8_t>(i);
        EXPECT_EQ(table[i], (RgbQuad{level, level, level, 0})) << i;
    }
    DibImage deep;
    ASSERT_TRUE(deep.Create(16, 16, 24));
    EXPECT_TRUE(deep.ColorTable().empty());
}

TEST(DibImageColorTable, GivenEntriesAreClippedToTheTable) {
    DibImage image;
    ASSERT_TRUE(image.Create(2, 2, 8));
    RgbQuad red[4] = {{0, 0, 255, 0}, {0, 0, 254, 0}, {0, 0, 253, 0}, {0, 0, 252, 0}};
    EXPECT_TRUE(image.SetColorTable(DibImage::kGivenEntries, red, 254, 4));
    EXPECT_EQ(image.ColorTable()[253], (RgbQuad{253, 253, 253, 0}));
    EXPECT_EQ(image.ColorTable()[254], red[0]);
    EXPECT_EQ(image.ColorTable()[255], red[1]);
    EXPECT_TRUE(image.SetColorTable(DibImage::kGivenEntries, red, 256, 1));
    EXPECT_TRUE(image.SetColorTable(DibImage::kGivenEntries, red, -1, 2));
    EXPECT_TRUE(image.SetColorTable(1, red, 0, 4));
    EXPECT_EQ(image.ColorTable()[0], (RgbQuad{0, 0, 0, 0}));
    EXPECT_TRUE(image.SetColorTable(DibImage::kGreyRamp));
    EXPECT_EQ(image.ColorTable()[254], (RgbQuad{254, 254, 254, 0}));
}

TEST(DibImageCopies, CreateLikeCopiesHeaderAndColourTable) {
    DibImage source;
    ASSERT_TRUE(source.Create(10, 6, 8));
    RgbQuad blue{200, 0, 0, 0};
    source.SetColorTable(DibImage::kGivenEntries, &blue, 7, 1);
    FillPattern(source);

    DibImage like;
    ASSERT_TRUE(like.CreateLike(&source));
    EXPECT_EQ(like.Width(), 10);
    EXPECT_EQ(like.Height(), 6);
    EXPECT_EQ(like.Stride(), 12);
    EXPECT_EQ(like.ColorTable()[7], blue);
    EXPECT_EQ(like.ColorTable()[8], (RgbQuad{8, 8, 8, 0}));
    EXPECT_EQ(like.Bits()[0], 0);

    DibImage empty;
    EXPECT_FALSE(like.CreateLike(&empty));
    EXPECT_FALSE(like.CreateLike(nullptr));
    EXPECT_EQ(like.Width(), 10);
}

TEST(DibImageCopies, CopyFromKeepsBytesAndKind) {
    DibImage memory;
    ASSERT_TRUE(memory.CreateInMemory(7, 5, 24));
    FillPattern(memory);
    memory.Row(4)[memory.Stride() - 1] = 0xAB;  // padding is copied too
    DibImage copy;
    ASSERT_TRUE(copy.CopyFrom(&memory));
    EXPECT_TRUE(copy.IsMemoryOnly());
    EXPECT_EQ(copy.Stride(), memory.Stride());
    ASSERT_EQ(copy.ImageSize(), memory.ImageSize());
    EXPECT_EQ(std::memcmp(copy.Bits(), memory.Bits(), memory.ImageSize()), 0);

    DibImage made;
    ASSERT_TRUE(made.Create(7, 5, 16));
    FillPattern(made);
    DibImage constructed(made);
    EXPECT_FALSE(constructed.IsMemoryOnly());
    EXPECT_EQ(constructed.BitCount(), 16);
    EXPECT_EQ(std::memcmp(constructed.Bits(), made.Bits(), made.ImageSize()), 0);
}

TEST(DibImageCopies, CopyFromEmptyOrSelf) {
    DibImage empty;
    DibImage image;
    ASSERT_TRUE(image.Create(4, 4, 24));
    FillPattern(image);
    EXPECT_FALSE(image.CopyFrom(nullptr));
    EXPECT_FALSE(image.CopyFrom(&empty));
    EXPECT_EQ(image.Width(), 4);
    EXPECT_TRUE(image.CopyFrom(&image));
    EXPECT_EQ(image.Row(3)[0], static_cast<std::uint8_t>(3 * 31 + 1));
    DibImage fromEmpty(empty);
    EXPECT_FALSE(fromEmpty.HasPixels());
    image = empty;
    EXPECT_FALSE(image.HasPixels());
}

TEST(DibImageCopies, MoveLeavesTheSourceEmpty) {
    DibImage image;
    ASSERT_TRUE(image.Create(6, 2, 16));
    const std::uint8_t* bits = image.Bits();
    DibImage moved(std::move(image));
    EXPECT_EQ(moved.Bits(), bits);
    EXPECT_EQ(moved.Width(), 6);
    EXPECT_EQ(image.Width(), 0);  // NOLINT(bugprone-use-after-move)
    EXPECT_FALSE(image.HasPixels());
}

TEST(DibImageDraw, CopiesAClippedRectangleLineForLine) {
    DibImage source;
    ASSERT_TRUE(source.Create(4, 4, 8));
    FillPattern(source);
    DibImage target;
    ASSERT_TRUE(target.Create(3, 3, 8));

    PixelRect rect{1, 2, 4, 4};  // columns 1..3 of lines 2..3
    EXPECT_TRUE(target.Draw(&source, &rect, 1, 2));
    // Only column 1..2 of line 2 lie inside the target.
    EXPECT_EQ(target.Row(2)[1], source.Row(2)[1]);
    EXPECT_EQ(target.Row(2)[2], source.Row(2)[2]);
    EXPECT_EQ(target.Row(2)[0], 0);
    EXPECT_EQ(target.Row(1)[1], 0);

    PixelRect before{-2, -1, 2, 2};
    EXPECT_TRUE(target.Draw(&source, &before, 0, 0));
    EXPECT_EQ(target.Row(1)[2], source.Row(0)[0]);
    EXPECT_EQ(target.Row(0)[0], 0);
}

TEST(DibImageDraw, RefusesOtherDepthsAndEmptyImages) {
    DibImage wide;
    ASSERT_TRUE(wide.Create(2, 2, 24));
    DibImage narrow;
    ASSERT_TRUE(narrow.Create(2, 2, 16));
    FillPattern(narrow);
    EXPECT_FALSE(wide.Draw(&narrow, nullptr, 0, 0));
    EXPECT_EQ(wide.Bits()[0], 0);
    DibImage empty;
    EXPECT_FALSE(empty.Draw(&narrow, nullptr, 0, 0));
    EXPECT_FALSE(narrow.Draw(&empty, nullptr, 0, 0));
    EXPECT_FALSE(narrow.Draw(nullptr, nullptr, 0, 0));
}

TEST(DibImageDraw, OverlappingCopyWithinOneImage) {
    DibImage image;
    ASSERT_TRUE(image.CreateInMemory(4, 4, 8));
    FillPattern(image);
    DibImage before(image);
    PixelRect top3{0, 0, 4, 3};
    EXPECT_TRUE(image.Draw(&image, &top3, 0, 1));
    for (int r = 1; r < 4; ++r) EXPECT_EQ(std::memcmp(image.Row(r), before.Row(r - 1), 4), 0) << r;
}

TEST(DibImageRows, ReversedRowsPutsTheLastLineFirst) {
    DibImage image;
    ASSERT_TRUE(image.Create(3, 4, 24));
    FillPattern(image);
    std::vector<std::uint8_t> reversed = image.ReversedRows();
    ASSERT_EQ(reversed.size(), image.ImageSize());
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(std::memcmp(reversed.data() + k * image.Stride(), image.Row(3 - k), image.Stride()), 0) << k;
    }
    DibImage empty;
    EXPECT_TRUE(empty.ReversedRows().empty());
}

int RecordingKernel(const PixelRegion* destination, const PixelRegion* source, const KernelOptions* options, int a,
                    int b) {
    EXPECT_EQ(destination->size, 40u);
    EXPECT_EQ(destination->width, 5);
    EXPECT_EQ(destination->height, 3);
    EXPECT_EQ(destination->bytesPerLine, 12);
    EXPECT_EQ(destination->bitsPerPixel, 16);
    EXPECT_EQ(destination->rect.right, 5);
    EXPECT_EQ(destination->rect.bottom, 3);
    EXPECT_EQ(source, nullptr);
    EXPECT_EQ(options->size, 12u);
    EXPECT_EQ(options->version, 1u);
    EXPECT_EQ(options->flags, 0u);
    return a * 10 + b;
}

TEST(DibImageKernel, RegionsAndDefaultOptions) {
    DibImage image;
    ASSERT_TRUE(image.Create(5, 3, 16));
    EXPECT_EQ(image.ApplyKernel(nullptr), 1);
    EXPECT_EQ(image.ApplyKernel(RecordingKernel, nullptr, nullptr, nullptr, nullptr, 4, 2), 42);
}

}  // namespace
}  // namespace calidra
