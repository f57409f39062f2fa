// The correction formula one rounding at a time, written apart from the
// library's kernels: each volatile store forces the intermediate to a double,
// whatever the compiler's contraction setting.
#pragma once

#include <cmath>
#include <cstdint>

namespace calidra::test {

inline std::uint16_t ReferencePixel(std::uint16_t raw, double a, double b, double c, double d) {
    volatile double product = static_cast<double>(raw) * a;
    volatile double withOffset = product + b;
    volatile double withShutter = withOffset + c;
    volatile double v = withShutter * d;
    if (!(v >= 0)) return 0;  // NaN too
    if (v > 16383.0) return 16383;
    return static_cast<std::uint16_t>(std::trunc(v));
}

}  // namespace calidra::test
