// Float shadows of the four correction planes, which the per-frame pass reads
// instead of the doubles: 10 bytes a pixel instead of 32, with the double
// formula's result kept bit for bit. The few pixels the shadows cannot decide
// read a copy of their four doubles kept side by side, one cache line each,
// in large pages: scattered reads then neither wait on four lines nor on the
// address translation of four planes.
//
// The correction of level r is ((r A + B) + C) D in doubles. Its exact real
// value is r G + H with G = A D and H = (B + C) D. The shadows hold G split in
// two, a high part with 8 significant bits (the upper half of a float, 2 bytes)
// and the low rest as a float, and H as a float:
//   G ~ high + low, H ~ offset.
// A kernel computes, in float, with u = 2^-24 (half a float ulp; rounding to
// nearest, which the kernels check before they run):
//   P = r high          exact: 16 bits times 8 bits fit the 24-bit significand
//   Pi = nearest integer to P, and P - Pi, exact in float
//   m = fl(r low), q = fl(m + offset), w = fl((P - Pi) + q)
// so that Pi + w approximates r G + H, and with it the double formula's value
// Vd, to far less than a float rounding of the whole. With y = Vd - Pi:
//  - low carries its rounding and a marking bit (below), 3u of itself; with the
//    double product A D (2^-53 relative) r (high + low) is off r G by at most
//    3.0002u |m| + 2^-29 (r |A D| <= 2^24, see the last point).
//  - offset is off H by 1.0002u |offset| (three roundings of (B + C) D).
//  - m, q and w round once each: u |m| + 1.0001u (|m| + |offset|) + u |w|,
//    and |w| <= 0.5 + |q|.
//  - The double formula rounds four times: |Vd - (r G + H)| <= 4.0001 x 2^-53
//    |D| (r |A| + |B| + |C|) <= 2^-26.99, because shadows are only made for
//    pixels with |D| (65535 |A| + |B| + |C|) <= 2^24 (kMaxMagnitude).
//  - Underflow and flushed subnormals add absolute terms below 2^-100.
// Every term is taken in absolute value, so values that cancel (r G against H)
// keep their full error. Together
//   |w - y| <= 6.0005u (|m| + |offset|) + 2^-24.3,
// and the kernels compare against
//   E = fl(fl(S x kRelativeBound) + kAbsoluteBound), S = fl(|m| + |offset|),
// which is at least 6.9997u (|m| + |offset|) + 2^-22.0001, rounding included:
// strictly more. With k the integer nearest to w and d = w - k (exact in
// float, |d| <= 0.5), |d| >= E leaves y between the same two integers as w, so
// floor(Vd) = Pi + k, less 1 when d < 0; the result is that, clamped to
// 0..16383, as the double formula truncates and clamps. A pixel with |d| < E,
// or with NaN anywhere, is computed from the double planes instead.
//
// Pixels whose planes make both evaluations exact for every raw level (the
// default planes, integer offsets) land on integers exactly and would always
// need the doubles; they are marked exact instead and use E = 0. The mark is
// the lowest significand bit of low: an exact pixel's high holds all of G and
// its low is 0, every other pixel's low has that bit set to 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/LargePageBuffer.h"

namespace calidra {

class CorrectionShadow {
public:
    // E = S x kRelativeBound + kAbsoluteBound, as derived above.
    static constexpr float kRelativeBound = 0x1.cp-22f;  // 7u
    static constexpr float kAbsoluteBound = 0x1p-22f;
    // Pixels whose planes reach beyond this (or hold NaN or infinities) get
    // NaN shadows, which send every level of them to the double planes.
    static constexpr double kMaxMagnitude = 0x1p24;

    CorrectionShadow() = default;
    // The moved-from shadows are left empty.
    CorrectionShadow(CorrectionShadow&& other) noexcept;
    CorrectionShadow& operator=(CorrectionShadow&& other) noexcept;

    // Rebuilds the shadows from four planes of one size, rounding to nearest
    // whatever the caller's rounding mode. false, and no shadows, when the
    // memory for them cannot be had.
    bool Build(std::span<const double> gain, std::span<const double> offset, std::span<const double> shutterOffset,
               std::span<const double> scale);
    void Clear();

    std::size_t Size() const { return pixels_; }
    // The upper 16 bits of the float high part of gain x scale.
    const std::uint16_t* High() const { return high_; }
    // The rest of gain x scale; its lowest significand bit marks an inexact pixel.
    const float* Low() const { return low_; }
    // (offset + shutter offset) x scale.
    const float* Offset() const { return offset_; }
    // Gain, offset, shutter offset and scale of pixel i at 4 i .. 4 i + 3.
    const double* Quads() const { return quads_; }
    // Pixels that always take the double planes (NaN shadows).
    std::size_t DoubleOnlyPixels() const { return doubleOnly_; }
    // Pixels that both evaluations get exactly (E = 0).
    std::size_t ExactPixels() const { return exact_; }

private:
    bool Reserve(std::size_t pixels);

    LargePageBuffer memory_;
    std::size_t pixels_ = 0;
    double* quads_ = nullptr;
    float* low_ = nullptr;
    float* offset_ = nullptr;
    std::uint16_t* high_ = nullptr;
    std::size_t doubleOnly_ = 0;
    std::size_t exact_ = 0;
};

}  // namespace calidra
