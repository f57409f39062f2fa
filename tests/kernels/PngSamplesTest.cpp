#include "kernels/PngSamples.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "pipeline/DibImage.h"
#include "platform/LittleEndian.h"

namespace calidra {
namespace {

std::uint16_t Sample(const DibImage& image, int line, int column) { return GetLE16(image.Row(line) + 2 * column); }
void SetSample(DibImage& image, int line, int column, std::uint16_t value) {
    PutLE16(image.Row(line) + 2 * column, value);
}

TEST(PngSamples, ShiftsLevelsIntoTheSixteenBitRange) {
    DibImage source;
    ASSERT_TRUE(source.Create(3, 2, 16));
    SetSample(source, 0, 0, 1023);
    SetSample(source, 0, 1, 1024);
    SetSample(source, 0, 2, 16383);
    SetSample(source, 1, 0, 1);
    SetSample(source, 1, 2, 0xFFFF);
    DibImage target;
    ASSERT_TRUE(target.CreateLike(&source));
    EXPECT_EQ(target.ApplyKernel(PngSamples, &source), kKernelDone);
    EXPECT_EQ(Sample(target, 0, 0), 65472);
    EXPECT_EQ(Sample(target, 0, 1), 0);
    EXPECT_EQ(Sample(target, 0, 2), 65472);
    // Lines keep their order.
    EXPECT_EQ(Sample(target, 1, 0), 64);
    EXPECT_EQ(Sample(target, 1, 1), 0);
    EXPECT_EQ(Sample(target, 1, 2), 0xFFC0);
}

TEST(PngSamples, WorksOnTheSharedPartOfTwoRectangles) {
    DibImage source;
    ASSERT_TRUE(source.Create(4, 4, 16));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) SetSample(source, r, c, static_cast<std::uint16_t>(r * 4 + c));
    }
    DibImage target;
    ASSERT_TRUE(target.Create(4, 4, 16));
    PixelRect to{1, 1, 4, 3};    // 3 columns, 2 lines
    PixelRect from{0, 2, 2, 4};  // 2 columns, 2 lines
    EXPECT_EQ(target.ApplyKernel(PngSamples, &source, nullptr, &to, &from), kKernelDone);
    EXPECT_EQ(Sample(target, 1, 1), (2 * 4 + 0) << 6);
    EXPECT_EQ(Sample(target, 2, 2), (3 * 4 + 1) << 6);
    EXPECT_EQ(Sample(target, 1, 3), 0);
    EXPECT_EQ(Sample(target, 0, 1), 0);
}

TEST(PngSamples, RefusesWithoutWriting) {
    DibImage source;
    ASSERT_TRUE(source.Create(4, 2, 16));
    SetSample(source, 0, 0, 5);
    DibImage wide;
    ASSERT_TRUE(wide.Create(4, 2, 24));
    DibImage target;
    ASSERT_TRUE(target.Create(4, 2, 16));

    EXPECT_NE(wide.ApplyKernel(PngSamples, &source), kKernelDone);
    EXPECT_EQ(wide.Bits()[0], 0);
    EXPECT_NE(target.ApplyKernel(PngSamples, nullptr), kKernelDone);

    PixelRect outside{0, 0, 5, 2};
    PixelRect empty{1, 1, 1, 2};
    PixelRect negative{-1, 0, 2, 2};
    EXPECT_NE(target.ApplyKernel(PngSamples, &source, nullptr, &outside), kKernelDone);
    EXPECT_NE(target.ApplyKernel(PngSamples, &source, nullptr, nullptr, &empty), kKernelDone);
    EXPECT_NE(target.ApplyKernel(PngSamples, &source, nullptr, &negative), kKernelDone);

    KernelOptions old{8, 10, 0};
    EXPECT_NE(target.ApplyKernel(PngSamples, &source, &old), kKernelDone);
    KernelOptions other{12, 2, 0};
    EXPECT_NE(target.ApplyKernel(PngSamples, &source, &other), kKernelDone);
    EXPECT_EQ(Sample(target, 0, 0), 0);

    KernelOptions ten{12, 10, 0};
    EXPECT_EQ(target.ApplyKernel(PngSamples, &source, &ten), kKernelDone);
    EXPECT_EQ(Sample(target, 0, 0), 5 << 6);
}

TEST(PngSamples, RefusesRegionsThatDescribeTooLittleMemory) {
    std::uint16_t pixels[4] = {1, 2, 3, 4};
    PixelRegion region;
    region.width = 4;
    region.height = 1;
    region.bytesPerLine = 6;  // four 16-bit pixels need 8
    region.bitsPerPixel = 16;
    region.pixels = reinterpret_cast<std::uint8_t*>(pixels);
    region.rect = {0, 0, 4, 1};
    KernelOptions options;
    EXPECT_NE(PngSamples(&region, &region, &options, 0, 0), kKernelDone);
    region.bytesPerLine = 8;
    region.size = 39;
    EXPECT_NE(PngSamples(&region, &region, &options, 0, 0), kKernelDone);
    region.size = 40;
    EXPECT_NE(PngSamples(&region, &region, nullptr, 0, 0), kKernelDone);
    EXPECT_EQ(pixels[0], 1);
}

}  // namespace
}  // namespace calidra
