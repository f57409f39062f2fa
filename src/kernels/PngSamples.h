// Prepares a 16-bit image for PNG: every 14-bit level is shifted left by 6 bits
// (the high bits dropped) so that the samples fill the 16-bit range; lines keep
// their order.
#pragma once

#include "pipeline/PixelRegion.h"

namespace calidra {

// A PixelKernel. kKernelDone, or kKernelRefused with nothing written when a
// region is unusable, the depths differ or are not 16, or the options block is
// not accepted. a and b are not used.
int PngSamples(const PixelRegion* destination, const PixelRegion* source, const KernelOptions* options, int a, int b);

}  // namespace calidra
