// The per-frame correction through the float shadows of the planes (see
// CorrectionShadow): a plain scalar kernel and vector kernels, each giving for
// every input exactly the bits CorrectLevelsScalar gives on the double planes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/DeferredPixels.h"
#include "device/PixelCorrection.h"

namespace calidra {

// The shadows of a run of pixels and the copies of its doubles (four per
// pixel), all starting at the run's first pixel.
struct ShadowRun {
    const std::uint16_t* high;
    const float* low;
    const float* offset;
    const double* quads;
};

// Corrects count levels from in into out (in == out allowed, other overlaps
// not). Pixels the bound leaves undecided go to deferred: out is complete once
// deferred.Finish() has run, which may come after further runs.
using ShadowKernel = void (*)(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                              DeferredPixels& deferred);

// The shadow kernels' paths: those of the double kernels, and AVX-512, which
// only the shadow pass has.
enum class ShadowPath { kScalar, kSse2, kAvx2, kAvx512 };

void CorrectShadowScalar(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                         DeferredPixels& deferred);
void CorrectShadowSse2(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                       DeferredPixels& deferred);
// Only where ShadowPathAvailable(kAvx2).
void CorrectShadowAvx2(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                       DeferredPixels& deferred);
// Sixteen floats at a time; only where ShadowPathAvailable(kAvx512).
void CorrectShadowAvx512(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const ShadowRun& run,
                         DeferredPixels& deferred);

bool ShadowPathAvailable(ShadowPath path);
// The kernel of a path, or nullptr when this processor cannot run it.
ShadowKernel ShadowKernelFor(ShadowPath path);
// The fastest path this processor runs; what the per-frame pass uses.
ShadowPath BestShadowPath();

// The bound assumes rounding to nearest; a client may have changed the mode of
// the thread that corrects (a new thread inherits its creator's). false then,
// and the double kernels must serve.
bool ShadowBoundHolds();

}  // namespace calidra
