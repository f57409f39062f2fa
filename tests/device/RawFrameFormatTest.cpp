#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/RawFrameFormat.h"

namespace calidra {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Counting(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

// One luma/chroma word: luma in the low byte, chroma - 128 in the high byte.
void PutWord(Bytes& bytes, std::size_t pixel, std::uint8_t luma, std::int8_t chroma) {
    bytes[2 * pixel] = luma;
    bytes[2 * pixel + 1] = static_cast<std::uint8_t>(chroma);
}

TEST(RawFrameFormat, FullWindowFrameIsExactlyThePixels) {
    const FrameLayout layout = FrameLayout::ForWindow(640, 480, true);
    const Bytes transfer = Counting(614400);
    Bytes frame(614400 + 16, 0xEE);
    EXPECT_EQ(CopyRawFrame(frame, transfer, layout), 0);
    EXPECT_TRUE(std::equal(transfer.begin(), transfer.end(), frame.begin()));
    EXPECT_EQ(frame[614400], 0xEE);
}

TEST(RawFrameFormat, SmallWindowCopiesOnlyItsPixelsOfTheRoundedTransfer) {
    // 100 x 3 pixels travel in a transfer of 1024 words.
    const Bytes transfer = Counting(2 * 1024);
    Bytes frame(2 * 1024, 0);
    EXPECT_EQ(CopyRawFrame(frame, transfer, FrameLayout::ForWindow(100, 3, true)), 0);
    EXPECT_TRUE(std::equal(transfer.begin(), transfer.begin() + 600, frame.begin()));
    EXPECT_EQ(frame[600], 0);

    Bytes grey(1024, 0);
    EXPECT_EQ(CopyRawFrame(grey, transfer, FrameLayout::ForWindow(100, 3, false)), 0);
    EXPECT_TRUE(std::equal(transfer.begin(), transfer.begin() + 300, grey.begin()));
    EXPECT_EQ(grey[300], 0);
}

TEST(RawFrameFormat, CopyRawFrameRefusesMissingOrShortBuffers) {
    const FrameLayout layout = FrameLayout::ForWindow(100, 3, true);
    Bytes buffer(600);
    EXPECT_EQ(CopyRawFrame({}, buffer, layout), 14);
    EXPECT_EQ(CopyRawFrame(buffer, {}, layout), 14);
    Bytes shortBuffer(599);
    EXPECT_EQ(CopyRawFrame(shortBuffer, buffer, layout), 14);
    EXPECT_EQ(CopyRawFrame(buffer, shortBuffer, layout), 14);
}

TEST(RawFrameFormat, ConvertRegionChecksTheRectangleFirst) {
    const FrameLayout layout;  // 640 x 480 in 481 lines
    const Bytes source(640 * 481 * 2);
    Bytes out(640 * 481 * 3);
    EXPECT_EQ(ConvertRegion(out, source, 0, 5, 0, 4, 0, layout), 5);  // x1 < x0
    EXPECT_EQ(ConvertRegion(out, source, 0, 0, 3, 0, 2, layout), 5);  // y1 < y0
    EXPECT_EQ(ConvertRegion({}, source, 0, 0, 0, 3, 3, layout), 14);
    EXPECT_EQ(ConvertRegion(out, {}, 0, 0, 0, 3, 3, layout), 14);
    EXPECT_EQ(ConvertRegion({}, source, 0, 4, 0, 3, 3, layout), 5);
    EXPECT_EQ(ConvertRegion(out, source, 0, 0, 0, 640, 0, layout), 5);    // 641 wide
    EXPECT_EQ(ConvertRegion(out, source, 0, 0, 0, 0, 481, layout), 5);    // 482 high
    EXPECT_EQ(ConvertRegion(out, source, 0, 600, 0, 700, 0, layout), 5);  // past the line end
    EXPECT_EQ(ConvertRegion(out, source, 0, -1, 0, 3, 0, layout), 5);
    EXPECT_EQ(ConvertRegion(out, source, 1, 0, 0, 639, 480, layout), 0);  // the whole 481 lines
    Bytes small(11);
    EXPECT_EQ(ConvertRegion(small, source, 0, 0, 0, 3, 0, layout), 14);
    const Bytes fewLines(640 * 2);
    EXPECT_EQ(ConvertRegion(out, fewLines, 0, 0, 0, 3, 2, layout), 14);
}

TEST(RawFrameFormat, GreyBytesBecomeEqualTripletsRowAfterRow) {
    FrameLayout layout = FrameLayout::ForWindow(8, 4, false);
    layout.startOffset = 2;
    const Bytes source = Counting(2 + 8 * 4);
    Bytes out(3 * 2 * 3, 0);
    ASSERT_EQ(ConvertRegion(out, source, 0, 5, 1, 7, 2, layout), 0);
    std::size_t k = 0;
    for (int y = 1; y <= 2; ++y) {
        for (int x = 5; x <= 7; ++x, k += 3) {
            const std::uint8_t grey = source[2 + y * 8 + x];
            EXPECT_EQ(out[k], grey);
            EXPECT_EQ(out[k + 1], grey);
            EXPECT_EQ(out[k + 2], grey);
        }
    }
}

TEST(RawFrameFormat, LumaChromaUsesBt601WithChromaPairedByColumn) {
    const FrameLayout layout = FrameLayout::ForWindow(4, 1, true);
    Bytes source(4 * 2);
    PutWord(source, 0, 235, 0);    // blue difference for columns 0 and 1
    PutWord(source, 1, 16, 0);     // red difference for columns 0 and 1
    PutWord(source, 2, 128, 112);  // blue difference +112
    PutWord(source, 3, 128, -112);
    Bytes out(4 * 3);
    ASSERT_EQ(ConvertRegion(out, source, 1, 0, 0, 3, 0, layout), 0);
    const Bytes expected = {255, 255, 255,  // white
                            0,   0,   0,    // black
                            255, 178, 0,    // B = 130.4 + 226, G = 130.4 + 91.1 - 43.8, R = 130.4 - 178.8
                            255, 178, 0};
    EXPECT_EQ(out, expected);
}

TEST(RawFrameFormat, ConvertFrameCoversTheOutputLines) {
    FrameLayout layout = FrameLayout::ForWindow(6, 3, false);
    const Bytes source = Counting(6 * 4);
    Bytes frame(6 * 3 * 3), region(6 * 3 * 3);
    ASSERT_EQ(ConvertFrame(frame, source, 0, layout), 0);
    ASSERT_EQ(ConvertRegion(region, source, 0, 0, 0, 5, 2, layout), 0);
    EXPECT_EQ(frame, region);
}

TEST(RawFrameFormat, CopyLinesFollowsTheLayout) {
    FrameLayout layout = FrameLayout::ForWindow(4, 3, true);
    layout.linePitch = 6;
    layout.startOffset = 1;
    layout.firstLine = 1;
    const Bytes source = Counting(2 * (1 + 6 * 4));
    Bytes out(2 * 4 * 3, 0);
    ASSERT_EQ(CopyLines(out, source, layout), 0);
    for (int line = 0; line < 3; ++line) {
        const std::size_t from = 2 * (1 + (1 + line) * 6);
        EXPECT_TRUE(std::equal(out.begin() + 8 * line, out.begin() + 8 * (line + 1), source.begin() + from))
            << "line " << line;
    }

    layout.interlaced = true;
    layout.firstLine = 0;
    layout.secondFieldLine = 2;
    layout.fieldStart = {0, 1};
    layout.lineCount = 4;
    Bytes fields(2 * 4 * 4, 0);
    ASSERT_EQ(CopyLines(fields, source, layout), 0);
    const std::size_t firstPixels[] = {0, 1 + 2 * 6, 6, 1 + 3 * 6};
    for (int line = 0; line < 4; ++line) {
        EXPECT_TRUE(std::equal(fields.begin() + 8 * line, fields.begin() + 8 * (line + 1),
                               source.begin() + 2 * firstPixels[line]))
            << "line " << line;
    }
}

TEST(RawFrameFormat, CopyLinesRefusesBeforeWriting) {
    FrameLayout layout = FrameLayout::ForWindow(4, 3, true);
    const Bytes source(2 * 4 * 3 - 1, 9);
    Bytes out(2 * 4 * 3, 0);
    EXPECT_EQ(CopyLines(out, source, layout), 14);
    EXPECT_EQ(out, Bytes(2 * 4 * 3, 0));
    EXPECT_EQ(CopyLines({}, source, layout), 14);
    layout.linePitch = 0;
    EXPECT_EQ(CopyLines(out, source, layout), 5);
}

}  // namespace
}  // namespace calidra
