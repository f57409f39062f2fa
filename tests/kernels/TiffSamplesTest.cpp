#include "kernels/TiffSamples.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kernels/RedBlueSwap.h"
#include "pipeline/DibImage.h"
#include "platform/LittleEndian.h"

namespace calidra {
namespace {

TEST(TiffSamples, ColourImageTurnsOverAndBecomesRedFirst) {
    DibImage source;
    ASSERT_TRUE(source.Create(640, 480, 24));
    for (int r = 0; r < 480; ++r) {
        std::uint8_t* line = source.Row(r);
        for (int c = 0; c < 640; ++c) {
            line[3 * c + 0] = static_cast<std::uint8_t>(c);      // blue
            line[3 * c + 1] = static_cast<std::uint8_t>(r);      // green
            line[3 * c + 2] = static_cast<std::uint8_t>(r + c);  // red
        }
    }
    DibImage target;
    ASSERT_TRUE(target.CreateLike(&source));
    ASSERT_EQ(target.ApplyKernel(TiffSamples, &source), kKernelDone);
    for (int k = 0; k < 480; ++k) {
        const std::uint8_t* to = target.Row(k);
        const std::uint8_t* from = source.Row(479 - k);
        for (int c = 0; c < 640; ++c) {
            ASSERT_EQ(to[3 * c + 0], from[3 * c + 2]) << k << "," << c;
            ASSERT_EQ(to[3 * c + 1], from[3 * c + 1]) << k << "," << c;
            ASSERT_EQ(to[3 * c + 2], from[3 * c + 0]) << k << "," << c;
        }
    }
}

// Every width from none to several vector steps and a tail: the same bytes as
// the scalar exchange, and not one byte written past the line.
TEST(TiffSamples, EveryRedBlueExchangeMatchesThePlainOne) {
    using Swap = void (*)(const std::uint8_t*, std::uint8_t*, std::size_t);
    std::vector<Swap> swaps{SwapRedBlueSsse3, SwapRedBlue};
    if (RedBlueSwapAvx512Available()) swaps.push_back(SwapRedBlueAvx512);
    for (std::size_t pixels = 0; pixels <= 80; ++pixels) {
        std::vector<std::uint8_t> from(3 * pixels), expected(3 * pixels + 1, 0xA5);
        for (std::size_t b = 0; b < from.size(); ++b) from[b] = static_cast<std::uint8_t>(7 * b + 1);
        SwapRedBlueScalar(from.data(), expected.data(), pixels);
        for (Swap swap : swaps) {
            std::vector<std::uint8_t> to(3 * pixels + 1, 0xA5);
            swap(from.data(), to.data(), pixels);
            ASSERT_EQ(to, expected) << pixels;
        }
    }
}

TEST(TiffSamples, SixteenBitLevelsTurnOverAndShift) {
    DibImage source;
    ASSERT_TRUE(source.Create(2, 3, 16));
    for (int r = 0; r < 3; ++r) {
        PutLE16(source.Row(r), static_cast<std::uint16_t>(1023 + r));
        PutLE16(source.Row(r) + 2, 16383);
    }
    DibImage target;
    ASSERT_TRUE(target.CreateLike(&source));
    ASSERT_EQ(target.ApplyKernel(TiffSamples, &source), kKernelDone);
    // Line k comes from source line 2 - k; the high bits drop out.
    EXPECT_EQ(GetLE16(target.Row(0)), 64);  // 1025
    EXPECT_EQ(GetLE16(target.Row(1)), 0);   // 1024
    EXPECT_EQ(GetLE16(target.Row(2)), 65472);
    EXPECT_EQ(GetLE16(target.Row(2) + 2), 65472);
}

TEST(TiffSamples, OtherDepthsAreLeftUnchanged) {
    DibImage source;
    ASSERT_TRUE(source.Create(4, 2, 24));
    source.Bits()[0] = 7;
    DibImage grey;
    ASSERT_TRUE(grey.Create(4, 2, 16));
    PutLE16(grey.Bits(), 0x1234);
    EXPECT_NE(grey.ApplyKernel(TiffSamples, &source), kKernelDone);
    EXPECT_EQ(GetLE16(grey.Bits()), 0x1234);

    DibImage eight;
    ASSERT_TRUE(eight.Create(4, 2, 8));
    DibImage eightTarget;
    ASSERT_TRUE(eightTarget.CreateLike(&eight));
    eight.Bits()[0] = 3;
    EXPECT_NE(eightTarget.ApplyKernel(TiffSamples, &eight), kKernelDone);
    EXPECT_EQ(eightTarget.Bits()[0], 0);
}

}  // namespace
}  // namespace calidra
