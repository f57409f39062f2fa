// A small deterministic generator, so every run of a test sees the same data.
#pragma once

#include <cstdint>

namespace calidra::test {

class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    // Uniform in [low, high).
    double Between(double low, double high) { return low + (high - low) * (Next() / 4294967296.0); }

private:
    std::uint64_t state_;
};

}  // namespace calidra::test
