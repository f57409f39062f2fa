// The correction through the float shadows against the one-rounding-at-a-time
// double reference, pixel for pixel, on every kernel this processor runs:
// planes made to defeat the error bound, and random ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "device/CorrectionShadow.h"
#include "device/DeferredPixels.h"
#include "device/SensorFrame.h"
#include "device/ShadowCorrection.h"
#include "support/Lcg.h"
#include "support/ReferencePixel.h"

namespace calidra {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using test::Lcg;
using test::ReferencePixel;

struct Planes {
    explicit Planes(std::size_t count)
        : gain(count, 1.0), offset(count, 0.0), shutter(count, 0.0), scale(count, 1.0), levels(count, 0) {}
    std::size_t Size() const { return levels.size(); }
    void Set(std::size_t i, double a, double b, double c, double d) {
        gain[i] = a;
        offset[i] = b;
        shutter[i] = c;
        scale[i] = d;
    }
    std::vector<double> gain, offset, shutter, scale;
    std::vector<std::uint16_t> levels;
};

std::uint16_t AnyLevel(Lcg& random) {
    static const std::uint16_t kEdges[] = {0, 1, 2, 16382, 16383, 16384, 65534, 65535};
    const std::uint32_t pick = random.Next() % 16;
    return pick < std::size(kEdges) ? kEdges[pick] : static_cast<std::uint16_t>(random.Next());
}

// Offsets that put ((r A + B) + C) D at target, as near as doubles allow.
double ShutterFor(double target, std::uint16_t raw, double a, double b, double d) {
    return target / d - (static_cast<double>(raw) * a + b);
}

// Every pixel a different trap for the bound.
void FillAdversarial(Planes& p, std::uint64_t seed) {
    static const double kMagnitudes[] = {5e-324, 1e-310, 1e-45, 1e-40, 0x1p-126, 1e-30, 3e-8, 0x1p24,
                                         1e30,   3.4e38, 1e39,  1e300, -1e-40,   -1e39, -0.0, 0.0};
    static const double kHairs[] = {0.0,      0x1p-52, -0x1p-52, 0x1p-40, -0x1p-40, 0x1p-30, -0x1p-30, 0x1p-22,
                                    -0x1p-22, 0x1p-18, -0x1p-18, 1e-6,    -1e-6,    0.5,     -0.5,     1e-12};
    static const double kSteps[] = {-1.0, 0.0, 1.0, 2.0, 100.0, 8191.0, 16382.0, 16383.0, 16384.0, 20000.0};
    Lcg random(seed);
    for (std::size_t i = 0; i < p.Size(); ++i) {
        const std::uint16_t raw = AnyLevel(random);
        p.levels[i] = raw;
        const double a = random.Between(-2.0, 3.0), b = random.Between(-500.0, 500.0);
        const double d = random.Between(0.25, 2.0);
        const double hair = kHairs[random.Next() % std::size(kHairs)];
        const double step = kSteps[random.Next() % std::size(kSteps)];
        switch (random.Next() % 10) {
            case 0: {  // r A and B cancel; the rest is small
                const double big = random.Between(100.0, 1000.0);
                p.Set(i, big, -static_cast<double>(raw) * big + random.Between(-3.0, 3.0), hair, d);
                break;
            }
            case 1:  // a hair from a step of the truncation or the clamp
                p.Set(i, a, b, ShutterFor(step + hair, raw, a, b, d), d);
                break;
            case 2:  // short decimals as data sets hold: results exactly on integers
                p.Set(i, 0.8 + (random.Next() % 41) / 100.0, -50.0 + (random.Next() % 1001) / 10.0,
                      -25.0 + (random.Next() % 501) / 10.0, 0.5 + (random.Next() % 21) / 20.0);
                break;
            case 3: {  // one plane huge, tiny, denormal, or past the float range
                double values[] = {a, b, random.Between(-50.0, 50.0), d};
                values[random.Next() % 4] = kMagnitudes[random.Next() % std::size(kMagnitudes)];
                p.Set(i, values[0], values[1], values[2], values[3]);
                break;
            }
            case 4: {  // NaN or an infinity in one plane
                double values[] = {a, b, random.Between(-50.0, 50.0), d};
                const double bad[] = {kNaN, -kNaN, kInf, -kInf};
                values[random.Next() % 4] = bad[random.Next() % 4];
                p.Set(i, values[0], values[1], values[2], values[3]);
                break;
            }
            case 5:  // integers and powers of two, exact or one ulp off
                p.Set(i, std::ldexp(1.0, static_cast<int>(random.Next() % 5) - 2),
                      static_cast<double>(static_cast<int>(random.Next() % 4001) - 2000), step,
                      random.Next() % 2 == 0 ? 1.0 : std::nextafter(1.0, 2.0));
                break;
            case 6:  // at the limit of the pixels the shadows take
                p.Set(i, CorrectionShadow::kMaxMagnitude / 65535.0 * random.Between(0.99, 1.01), 0.0, 0.0, 1.0);
                break;
            case 7:  // gain near an 8-bit value, so that the low part is tiny or zero
                p.Set(i, 1.0 + std::ldexp(1.0, -7) * (random.Next() % 3) + hair * 1e-10, b, random.Between(-5.0, 5.0),
                      1.0);
                break;
            default:  // plain random doubles
                p.Set(i, a, b, random.Between(-3000.0, 3000.0), random.Between(-1.5, 2.5));
                break;
        }
    }
}

void FillRandom(Planes& p, std::uint64_t seed) {
    Lcg random(seed);
    for (std::size_t i = 0; i < p.Size(); ++i) {
        p.Set(i, random.Between(-3.0, 5.0), random.Between(-30000.0, 30000.0), random.Between(-3000.0, 3000.0),
              random.Between(-1.5, 2.5));
        p.levels[i] = static_cast<std::uint16_t>(random.Next());
    }
}

void FillDataSetLike(Planes& p, std::uint64_t seed) {
    Lcg random(seed);
    for (std::size_t i = 0; i < p.Size(); ++i) {
        p.Set(i, random.Between(0.5, 1.5), random.Between(-2000.0, 2000.0), random.Between(-500.0, 500.0),
              random.Between(0.5, 2.0));
        p.levels[i] = static_cast<std::uint16_t>(random.Next() % 16384);
    }
}

class ShadowKernels : public ::testing::TestWithParam<ShadowPath> {
protected:
    void SetUp() override {
        kernel = ShadowKernelFor(GetParam());
        if (kernel == nullptr) GTEST_SKIP() << "this processor lacks the instructions";
    }
    // Runs the kernel over p, into a separate output and in place, and counts
    // pixels that differ from the reference; returns how many the bound left
    // to the doubles.
    std::size_t ExpectBitExact(const Planes& p, const std::string& what) {
        CorrectionShadow shadow;
        EXPECT_TRUE(shadow.Build(p.gain, p.offset, p.shutter, p.scale));
        const ShadowRun run{shadow.High(), shadow.Low(), shadow.Offset(), shadow.Quads()};
        const std::size_t n = p.Size();
        std::vector<std::uint16_t> out(n, 0xBEEF), inPlace = p.levels;
        DeferredPixels deferred, deferredInPlace;
        kernel(p.levels.data(), out.data(), n, run, deferred);
        deferred.Finish();
        kernel(inPlace.data(), inPlace.data(), n, run, deferredInPlace);
        deferredInPlace.Finish();
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint16_t expected =
                ReferencePixel(p.levels[i], p.gain[i], p.offset[i], p.shutter[i], p.scale[i]);
            if (out[i] != expected || inPlace[i] != expected) {
                if (++wrong <= 5) {
                    ADD_FAILURE() << what << ": pixel " << i << " raw " << p.levels[i] << " planes " << p.gain[i] << ' '
                                  << p.offset[i] << ' ' << p.shutter[i] << ' ' << p.scale[i] << " gives " << out[i]
                                  << '/' << inPlace[i] << ", not " << expected;
                }
            }
        }
        EXPECT_EQ(wrong, 0u) << what;
        EXPECT_EQ(deferred.Total(), deferredInPlace.Total()) << what;
        return deferred.Total();
    }
    ShadowKernel kernel = nullptr;
};

TEST_P(ShadowKernels, AdversarialPlanesMatchTheDoubleFormula) {
    Planes p(kFramePixels);
    for (std::uint64_t seed : {1u, 2u}) {
        FillAdversarial(p, seed);
        // The traps must reach the doubles, or they test nothing.
        EXPECT_GT(ExpectBitExact(p, "adversarial seed " + std::to_string(seed)), kFramePixels / 100);
    }
}

TEST_P(ShadowKernels, RandomPlanesMatchTheDoubleFormula) {
    Planes p(kFramePixels);
    FillRandom(p, 11);
    ExpectBitExact(p, "random");
    FillDataSetLike(p, 12);
    ExpectBitExact(p, "data-set-like");
}

TEST_P(ShadowKernels, EveryRawLevelThroughTrappedPlanes) {
    // A handful of planes, each under all 65,536 raw levels.
    const double sets[][4] = {{1.0, 0.0, 0.0, 1.0},
                              {1.0, 0.0, -2.5, 1.0},
                              {0.89, -37.8, 0.0, 0.9},
                              {1.0 / 3.0, 0.1, 0.2, 3.0},
                              {1.0000000000000002, -0.5, 0.0, 0.9999999999999999},
                              {255.99609375, -4194304.0, 0.0, 0.00390625},
                              {0.7, 0.0, 0.0, 10.0}};
    Planes p(65536 * std::size(sets));
    for (std::size_t s = 0; s < std::size(sets); ++s) {
        for (std::size_t r = 0; r < 65536; ++r) {
            const std::size_t i = s * 65536 + r;
            p.Set(i, sets[s][0], sets[s][1], sets[s][2], sets[s][3]);
            p.levels[i] = static_cast<std::uint16_t>(r);
        }
    }
    ExpectBitExact(p, "every raw level");
}

TEST_P(ShadowKernels, AnyLengthAndStartWritesExactlyTheRun) {
    Planes p(96);
    FillAdversarial(p, 31);
    CorrectionShadow shadow;
    ASSERT_TRUE(shadow.Build(p.gain, p.offset, p.shutter, p.scale));
    for (std::size_t start = 0; start < 4; ++start) {
        for (std::size_t count = 0; count <= 40; ++count) {
            std::vector<std::uint16_t> out(p.Size(), 0xBEEF);
            DeferredPixels deferred;
            kernel(p.levels.data() + start, out.data() + start, count,
                   {shadow.High() + start, shadow.Low() + start, shadow.Offset() + start, shadow.Quads() + 4 * start},
                   deferred);
            deferred.Finish();
            for (std::size_t i = 0; i < p.Size(); ++i) {
                const bool inRun = i >= start && i < start + count;
                const std::uint16_t expected =
                    inRun ? ReferencePixel(p.levels[i], p.gain[i], p.offset[i], p.shutter[i], p.scale[i]) : 0xBEEF;
                ASSERT_EQ(out[i], expected) << "start " << start << " count " << count << " pixel " << i;
            }
        }
    }
}

std::string PathName(const ::testing::TestParamInfo<ShadowPath>& info) {
    static const char* const kNames[] = {"Scalar", "Sse2", "Avx2", "Avx512"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Paths, ShadowKernels,
                         ::testing::Values(ShadowPath::kScalar, ShadowPath::kSse2, ShadowPath::kAvx2,
                                           ShadowPath::kAvx512),
                         PathName);

}  // namespace
}  // namespace calidra
