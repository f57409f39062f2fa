// Pixels the shadow kernels leave to the double formula (see CorrectionShadow),
// computed a while after they were met: the copy of their doubles, fetched the
// moment they are met, has arrived by then, instead of each read waiting in
// turn behind the frame's stream of shadows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace calidra {

class DeferredPixels {
public:
    // When full, the older half is computed in one go: every pixel has waited
    // while at least kCapacity / 2 others were met, some 15,000 pixels at the
    // densest share seen on data-set planes.
    static constexpr std::size_t kCapacity = 256;

    // Takes the pixel's raw level, the copy of its four doubles and where its
    // result goes.
    // Out of line on purpose: wide-register kernels call it (see the AVX2 kernel).
    void Add(std::uint16_t raw, const double* quad, std::uint16_t* out);
    // Computes every pixel still waiting: outputs are complete only after this.
    void Finish();
    // Pixels taken since construction.
    std::size_t Total() const { return total_; }

private:
    struct Waiting {
        const double* quad;
        std::uint16_t* out;
        std::uint16_t raw;
    };
    void ComputeOldest(std::size_t count);

    std::array<Waiting, kCapacity> waiting_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    std::size_t total_ = 0;
};

}  // namespace calidra
