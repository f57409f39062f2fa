#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "device/CorrectionPlanes.h"
#include "device/PixelCorrection.h"
#include "device/ReversedLines.h"
#include "device/SensorFrame.h"
#include "support/Lcg.h"
#include "support/ReferencePixel.h"

namespace calidra {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using test::Lcg;
using test::ReferencePixel;

// Planes and levels for count pixels, plus the kernel run over them.
struct Pixels {
    explicit Pixels(std::size_t count)
        : gain(count, 1.0), offset(count, 0.0), shutter(count, 0.0), scale(count, 1.0), levels(count, 0) {}
    CorrectionRun Run(std::size_t first = 0) const {
        return {gain.data() + first, offset.data() + first, shutter.data() + first, scale.data() + first};
    }
    std::uint16_t Reference(std::size_t i) const {
        return ReferencePixel(levels[i], gain[i], offset[i], shutter[i], scale[i]);
    }
    std::vector<double> gain, offset, shutter, scale;
    std::vector<std::uint16_t> levels;
};

void FillRandom(Pixels& p, std::uint64_t seed) {
    Lcg random(seed);
    for (std::size_t i = 0; i < p.levels.size(); ++i) {
        p.gain[i] = random.Between(-3.0, 5.0);
        p.offset[i] = random.Between(-30000.0, 30000.0);
        p.shutter[i] = random.Between(-3000.0, 3000.0);
        p.scale[i] = random.Between(-1.5, 2.5);
        p.levels[i] = static_cast<std::uint16_t>(random.Next());
    }
}

// Short decimal values such as a data set holds: many exact results lie on or
// next to an integer, where one rounding more or less moves the truncation.
void FillDecimal(Pixels& p, std::uint64_t seed) {
    Lcg random(seed);
    for (std::size_t i = 0; i < p.levels.size(); ++i) {
        p.gain[i] = 0.8 + (random.Next() % 41) / 100.0;
        p.offset[i] = -50.0 + (random.Next() % 1001) / 10.0;
        p.shutter[i] = -25.0 + (random.Next() % 501) / 10.0;
        p.scale[i] = 0.5 + (random.Next() % 21) / 20.0;
        p.levels[i] = static_cast<std::uint16_t>(random.Next() % 16384);
    }
}

// Values of v at and around every edge of the clamp, with raw 0, gain 1 and
// scale 1 so that v is the offset itself.
const double kEdges[] = {16383.0,
                         std::nextafter(16383.0, kInf),
                         std::nextafter(16383.0, 0.0),
                         16383.7,
                         16382.999999999998,
                         -0.0,
                         0.0,
                         -0.5,
                         -std::numeric_limits<double>::denorm_min(),
                         std::numeric_limits<double>::denorm_min(),
                         0.9999999999999999,
                         1.0,
                         100.9,
                         kNaN,
                         -kNaN,
                         kInf,
                         -kInf,
                         1e300,
                         -1e300,
                         65535.0,
                         2147483648.0,
                         -2147483649.0};

class CorrectionKernels : public ::testing::TestWithParam<CorrectionPath> {
protected:
    void SetUp() override {
        kernel = CorrectionKernelFor(GetParam());
        if (kernel == nullptr) GTEST_SKIP() << "this processor lacks the instructions";
    }
    // Runs the kernel over p and counts pixels that differ from the scalar
    // kernel and from the one-rounding-at-a-time reference.
    void ExpectBitExact(const Pixels& p, const std::string& what) const {
        const std::size_t n = p.levels.size();
        std::vector<std::uint16_t> scalar(n), vector(n);
        CorrectLevelsScalar(p.levels.data(), scalar.data(), n, p.Run());
        kernel(p.levels.data(), vector.data(), n, p.Run());
        std::size_t fromScalar = 0, fromReference = 0;
        for (std::size_t i = 0; i < n; ++i) {
            fromScalar += vector[i] != scalar[i];
            fromReference += vector[i] != p.Reference(i);
        }
        EXPECT_EQ(fromScalar, 0u) << what;
        EXPECT_EQ(fromReference, 0u) << what;
    }
    CorrectionKernel kernel = nullptr;
};

TEST_P(CorrectionKernels, RandomPlanesMatchTheScalarFormula) {
    Pixels p(kFramePixels);
    for (std::uint64_t seed : {11u, 12u}) {
        FillRandom(p, seed);
        ExpectBitExact(p, "random seed " + std::to_string(seed));
    }
}

TEST_P(CorrectionKernels, DecimalPlanesMatchTheScalarFormula) {
    Pixels p(kFramePixels);
    for (std::uint64_t seed : {21u, 22u, 23u}) {
        FillDecimal(p, seed);
        ExpectBitExact(p, "decimal seed " + std::to_string(seed));
    }
}

TEST_P(CorrectionKernels, EdgeValuesInEveryLane) {
    // Each edge value visits each of the 16 lanes of a block.
    const std::size_t edges = std::size(kEdges);
    Pixels p(edges * 17);
    for (std::size_t i = 0; i < p.levels.size(); ++i) p.offset[i] = kEdges[(i + i / edges) % edges];
    ExpectBitExact(p, "edges in the offset");

    // The same values reached through each plane in turn, and raw levels above 14 bits.
    Lcg random(5);
    for (std::size_t i = 0; i < p.levels.size(); ++i) {
        const double edge = kEdges[(i * 7) % edges];
        p.levels[i] = static_cast<std::uint16_t>(random.Next());
        p.gain[i] = i % 4 == 0 ? edge : 1.0;
        p.offset[i] = i % 4 == 1 ? edge : 0.0;
        p.shutter[i] = i % 4 == 2 ? edge : 0.0;
        p.scale[i] = i % 4 == 3 ? edge : 1.0;
    }
    ExpectBitExact(p, "edges in every plane");
}

TEST_P(CorrectionKernels, PinnedEdgeResults) {
    const double values[] = {16383.0, 16383.7, -0.0, -0.5, 100.9, kNaN, kInf, -kInf, 16382.9999};
    const std::uint16_t expected[] = {16383, 16383, 0, 0, 100, 0, 16383, 0, 16382};
    Pixels p(32);
    for (std::size_t i = 0; i < p.levels.size(); ++i) p.offset[i] = values[i % std::size(values)];
    std::vector<std::uint16_t> out(p.levels.size());
    kernel(p.levels.data(), out.data(), out.size(), p.Run());
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i], expected[i % std::size(values)]) << "v = " << values[i % std::size(values)];
}

TEST_P(CorrectionKernels, AnyLengthAndStartWritesExactlyTheRun) {
    Pixels p(96);
    FillDecimal(p, 31);
    for (std::size_t start = 0; start < 4; ++start) {
        for (std::size_t count = 0; count <= 40; ++count) {
            std::vector<std::uint16_t> expected(p.levels.size(), 0xBEEF), out(p.levels.size(), 0xBEEF);
            CorrectLevelsScalar(p.levels.data() + start, expected.data() + start, count, p.Run(start));
            kernel(p.levels.data() + start, out.data() + start, count, p.Run(start));
            ASSERT_EQ(out, expected) << "start " << start << " count " << count;
        }
    }
}

TEST_P(CorrectionKernels, InPlaceEqualsSeparateOutput) {
    Pixels p(1000);
    FillRandom(p, 41);
    std::vector<std::uint16_t> separate(p.levels.size());
    const std::vector<std::uint16_t> original = p.levels;
    kernel(p.levels.data(), separate.data(), separate.size(), p.Run());
    EXPECT_EQ(p.levels, original);
    kernel(p.levels.data(), p.levels.data(), p.levels.size(), p.Run());
    EXPECT_EQ(p.levels, separate);
}

INSTANTIATE_TEST_SUITE_P(Paths, CorrectionKernels,
                         ::testing::Values(CorrectionPath::kScalar, CorrectionPath::kSse2, CorrectionPath::kAvx2),
                         [](const ::testing::TestParamInfo<CorrectionPath>& info) {
                             switch (info.param) {
                                 case CorrectionPath::kScalar:
                                     return std::string("Scalar");
                                 case CorrectionPath::kSse2:
                                     return std::string("Sse2");
                                 case CorrectionPath::kAvx2:
                                     return std::string("Avx2");
                             }
                             return std::string("Unknown");
                         });

TEST(CorrectionDispatch, BaselineAlwaysThereAndBestPathRuns) {
    EXPECT_NE(CorrectionKernelFor(CorrectionPath::kScalar), nullptr);
    EXPECT_NE(CorrectionKernelFor(CorrectionPath::kSse2), nullptr);
    EXPECT_EQ(CorrectionKernelFor(CorrectionPath::kAvx2) != nullptr, CorrectionPathAvailable(CorrectionPath::kAvx2));
    EXPECT_NE(CorrectionKernelFor(BestCorrectionPath()), nullptr);
}

class FrameCorrection : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(planes.InitPlanes(kFrameWidth, kFrameHeight), 1);
        Lcg random(51);
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            planes.Gain()[i] = 0.8 + (random.Next() % 41) / 100.0;
            planes.Offset()[i] = -50.0 + (random.Next() % 1001) / 10.0;
            planes.ShutterOffset()[i] = -25.0 + (random.Next() % 501) / 10.0;
            planes.Scale()[i] = 0.5 + (random.Next() % 21) / 20.0;
            frame[i] = static_cast<std::uint16_t>(random.Next());
        }
    }
    std::size_t At(std::size_t line, std::size_t column) const { return line * kFrameWidth + column; }
    CorrectionPlanes planes;
    std::vector<std::uint16_t> frame = std::vector<std::uint16_t>(kFramePixels);
};

TEST_F(FrameCorrection, WholeFrameMatchesTheReference) {
    std::vector<std::uint16_t> corrected = frame;
    ASSERT_TRUE(CorrectPixels(corrected.data(), planes));
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        mismatches += corrected[i] != ReferencePixel(frame[i], planes.Gain()[i], planes.Offset()[i],
                                                     planes.ShutterOffset()[i], planes.Scale()[i]);
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST_F(FrameCorrection, ReversedCorrectionEqualsCorrectionThenReversedCopy) {
    std::vector<std::uint16_t> corrected = frame;
    ASSERT_TRUE(CorrectPixels(corrected.data(), planes));
    std::vector<std::uint16_t> expected(kFramePixels), fused(kFramePixels);
    CopyLinesReversed(corrected.data(), expected.data(), kFrameWidth, kFrameHeight);
    const std::vector<std::uint16_t> original = frame;
    ASSERT_TRUE(CorrectPixelsReversed(frame.data(), fused.data(), planes));
    EXPECT_EQ(fused, expected);
    EXPECT_EQ(frame, original);
    EXPECT_EQ(fused[At(479, 7)], corrected[At(0, 7)]);
}

TEST_F(FrameCorrection, ReversedWithoutPlanesOnlyClampsAndNullWritesNothing) {
    frame[At(0, 0)] = 20000;
    frame[At(1, 3)] = 1234;
    ASSERT_EQ(planes.InitPlanes(640, 479), 1);
    std::vector<std::uint16_t> out(kFramePixels, 7);
    EXPECT_FALSE(CorrectPixelsReversed(frame.data(), out.data(), planes));
    EXPECT_EQ(out[At(479, 0)], 16383);
    EXPECT_EQ(out[At(478, 3)], 1234);
    std::vector<std::uint16_t> untouched(kFramePixels, 7);
    EXPECT_FALSE(CorrectPixelsReversed(nullptr, untouched.data(), planes));
    EXPECT_FALSE(CorrectPixelsReversed(frame.data(), nullptr, planes));
    EXPECT_EQ(untouched, std::vector<std::uint16_t>(kFramePixels, 7));
}

TEST(ReversedLines, LastSourceLineComesFirst) {
    const std::size_t width = 5, height = 4;
    std::vector<std::uint16_t> source(width * height), out(width * height, 0);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint16_t>(i);
    CopyLinesReversed(source.data(), out.data(), width, height);
    for (std::size_t y = 0; y < height; ++y)
        for (std::size_t x = 0; x < width; ++x) EXPECT_EQ(out[(height - 1 - y) * width + x], source[y * width + x]);
    CopyLinesReversed(nullptr, out.data(), width, height);
    CopyLinesReversed(source.data(), nullptr, width, height);
}

}  // namespace
}  // namespace calidra
