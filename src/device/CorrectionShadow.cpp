#include "device/CorrectionShadow.h"

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace calidra {

namespace {

constexpr double kLargestLevel = 65535.0;

// The exponent of the lowest set bit of a finite non-zero double.
int LowestBitExponent(double x) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(x), &exponent);
    const auto significand = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    return exponent - 53 + std::countr_zero(significand);
}

// True when, for every raw level r, the double formula and the kernels' float
// steps are all exact. Sufficient: D a power of two, A, B and C whole multiples
// of 2^e, and 65535 |A| + |B| + |C| < 2^(23 + e). Then A D has at most 8
// significant bits (all of it in the high part, low 0), and every value either
// evaluation forms is a multiple of 2^e (times D) below 2^(24 + e) (times D),
// which both formats hold exactly. The limits on the unit 2^e D keep every value
// a normal float and the fraction P - Pi of at most 24 bits.
bool EvaluatesExactly(double a, double b, double c, double d) {
    int scaleExponent = 0;
    if (std::fabs(std::frexp(d, &scaleExponent)) != 0.5) return false;
    int lowest = std::numeric_limits<int>::max();
    for (double x : {a, b, c}) {
        if (x != 0.0) lowest = std::min(lowest, LowestBitExponent(x));
    }
    if (lowest == std::numeric_limits<int>::max()) return true;
    const double magnitude = kLargestLevel * std::fabs(a) + std::fabs(b) + std::fabs(c);
    const int unit = lowest + scaleExponent - 1;
    return magnitude < std::ldexp(1.0, 23 + lowest) && unit >= -23 && unit + 24 <= 100;
}

// The float nearest x kept to its upper 16 bits: 8 significant bits.
float HighPart(double x) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(static_cast<float>(x));
    return std::bit_cast<float>((bits + 0x7FFFu + ((bits >> 16) & 1u)) & 0xFFFF0000u);
}

// Sets the lowest significand bit. A low part below the normal range becomes
// the smallest normal float with that bit set (an error below 2^-125 the bound
// allows for): subnormal operands slow every kernel down.
float WithInexactMark(float low) {
    constexpr float kSmallest = std::numeric_limits<float>::min();
    if (std::fabs(low) < kSmallest) low = std::copysign(kSmallest, low);
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(low) | 1u);
}

// Offsets below the normal range become 0, an error below 2^-126.
float WithoutSubnormal(float x) { return std::fabs(x) < std::numeric_limits<float>::min() ? 0.0f * x : x; }

// Restores the caller's rounding mode however the build ends.
class NearestRounding {
public:
    NearestRounding() : saved_(std::fegetround()) { std::fesetround(FE_TONEAREST); }
    ~NearestRounding() { std::fesetround(saved_); }
    NearestRounding(const NearestRounding&) = delete;
    NearestRounding& operator=(const NearestRounding&) = delete;

private:
    int saved_;
};

}  // namespace

CorrectionShadow::CorrectionShadow(CorrectionShadow&& other) noexcept { *this = std::move(other); }

CorrectionShadow& CorrectionShadow::operator=(CorrectionShadow&& other) noexcept {
    if (this != &other) {
        memory_ = std::move(other.memory_);
        pixels_ = std::exchange(other.pixels_, 0);
        quads_ = std::exchange(other.quads_, nullptr);
        low_ = std::exchange(other.low_, nullptr);
        offset_ = std::exchange(other.offset_, nullptr);
        high_ = std::exchange(other.high_, nullptr);
        doubleOnly_ = std::exchange(other.doubleOnly_, 0);
        exact_ = std::exchange(other.exact_, 0);
    }
    return *this;
}

bool CorrectionShadow::Reserve(std::size_t pixels) {
    constexpr std::size_t kBytesPerPixel = 4 * sizeof(double) + 2 * sizeof(float) + sizeof(std::uint16_t);
    // Planes keep their size from one change to the next, and so does this memory.
    if (pixels == pixels_ && memory_.Data() != nullptr) return true;
    Clear();
    if (pixels == 0 || pixels > SIZE_MAX / kBytesPerPixel || !memory_.Allocate(pixels * kBytesPerPixel)) return false;
    auto* bytes = static_cast<std::uint8_t*>(memory_.Data());
    quads_ = reinterpret_cast<double*>(bytes);
    low_ = reinterpret_cast<float*>(bytes + 4 * sizeof(double) * pixels);
    offset_ = low_ + pixels;
    high_ = reinterpret_cast<std::uint16_t*>(offset_ + pixels);
    pixels_ = pixels;
    return true;
}

bool CorrectionShadow::Build(std::span<const double> gain, std::span<const double> offset,
                             std::span<const double> shutterOffset, std::span<const double> scale) {
    doubleOnly_ = exact_ = 0;
    const std::size_t pixels = gain.size();
    if (offset.size() != pixels || shutterOffset.size() != pixels || scale.size() != pixels || !Reserve(pixels)) {
        Clear();
        return false;
    }
    const NearestRounding nearest;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (std::size_t i = 0; i < pixels; ++i) {
        const double a = gain[i], b = offset[i], c = shutterOffset[i], d = scale[i];
        double* quad = quads_ + 4 * i;
        quad[0] = a;
        quad[1] = b;
        quad[2] = c;
        quad[3] = d;
        // Also false for NaN and infinities.
        const double reach = std::fabs(d) * (kLargestLevel * std::fabs(a) + std::fabs(b) + std::fabs(c));
        if (!(reach <= kMaxMagnitude)) {
            high_[i] = static_cast<std::uint16_t>(std::bit_cast<std::uint32_t>(nan) >> 16);
            low_[i] = offset_[i] = WithInexactMark(nan);
            ++doubleOnly_;
            continue;
        }
        const double product = a * d;
        const float high = HighPart(product);
        // The difference is exact: high lies within 2^-8 of the product.
        const auto low = static_cast<float>(product - static_cast<double>(high));
        high_[i] = static_cast<std::uint16_t>(std::bit_cast<std::uint32_t>(high) >> 16);
        offset_[i] = WithoutSubnormal(static_cast<float>((b + c) * d));
        if (EvaluatesExactly(a, b, c, d)) {
            low_[i] = low;
            ++exact_;
        } else {
            low_[i] = WithInexactMark(low);
        }
    }
    return true;
}

void CorrectionShadow::Clear() {
    memory_.Release();
    pixels_ = 0;
    quads_ = nullptr;
    low_ = offset_ = nullptr;
    high_ = nullptr;
    doubleOnly_ = 0;
    exact_ = 0;
}

}  // namespace calidra
