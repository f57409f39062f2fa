// Prepares an image for a TIFF strip: lines are taken in reverse order, so the
// picture's top row comes first; 24-bit pixels become red, green, blue and
// 16-bit levels are shifted left by 6 bits (the high bits dropped).
#pragma once

#include "pipeline/PixelRegion.h"

namespace calidra {

// A PixelKernel. kKernelDone, or kKernelRefused with nothing written when a
// region is unusable, the depths differ or are neither 16 nor 24, or the
// options block is not accepted. a and b are not used.
int TiffSamples(const PixelRegion* destination, const PixelRegion* source, const KernelOptions* options, int a, int b);

}  // namespace calidra
