// The per-pixel correction of one frame through the correction planes, with a
// plain scalar kernel and vector kernels chosen once by what the processor offers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/CorrectionPlanes.h"

namespace calidra {

// Corrects the 640 x 480 frame (line 0 first) in place: each level r becomes
// ((r * gain + offset) + shutter offset) * scale in double precision, 0 below 0
// (and for NaN), 16383 above 16383.0, else truncated toward zero. Planes missing
// or smaller than the frame are never read: the frame is then only clamped into
// 0..16383 and the result is false. The pass reads the planes' float shadows
// (rebuilt first when a plane changed) and the doubles only for the few pixels
// the shadows cannot decide: the bits are the double formula's all the same.
bool CorrectPixels(std::uint16_t* frame, CorrectionPlanes& planes);

// The same correction from frame into destination with the lines reversed:
// destination line (479 - y) receives corrected frame line y, so a frame leaves
// the device bottom row first in one pass instead of a correction and a copy.
// frame is left untouched. Without usable planes the levels are only clamped;
// false then, and for a null frame or destination (nothing written).
bool CorrectPixelsReversed(const std::uint16_t* frame, std::uint16_t* destination, CorrectionPlanes& planes);

// Plane values for a run of pixels, all starting at the run's first pixel.
struct CorrectionRun {
    const double* gain;
    const double* offset;
    const double* shutterOffset;
    const double* scale;
};

// Corrects count levels from in into out (in == out allowed, other overlaps not).
// Every kernel gives the same bits as CorrectLevelsScalar for every input.
using CorrectionKernel = void (*)(const std::uint16_t* in, std::uint16_t* out, std::size_t count,
                                  const CorrectionRun& run);

enum class CorrectionPath { kScalar, kSse2, kAvx2 };

// The plain formula one pixel at a time: the reference the vector kernels match.
void CorrectLevelsScalar(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const CorrectionRun& run);
// Two doubles at a time; every x86-64 processor runs it.
void CorrectLevelsSse2(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const CorrectionRun& run);
// Four doubles at a time; only where CorrectionPathAvailable(kAvx2).
void CorrectLevelsAvx2(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const CorrectionRun& run);

bool CorrectionPathAvailable(CorrectionPath path);
// The kernel of a path, or nullptr when this processor cannot run it.
CorrectionKernel CorrectionKernelFor(CorrectionPath path);
// The fastest path this processor runs; what CorrectPixels uses.
CorrectionPath BestCorrectionPath();

}  // namespace calidra
