// The per-pixel correction of one frame through the correction planes.
#pragma once

#include <cstdint>

#include "device/CorrectionPlanes.h"

namespace calidra {

// Corrects the 640 x 480 frame (line 0 first) in place: each level r becomes
// ((r * gain + offset) + shutter offset) * scale in double precision, 0 below 0
// (and for NaN), 16383 above 16383.0, else truncated toward zero. Planes missing
// or smaller than the frame are never read: the frame is then only clamped into
// 0..16383 and the result is false.
bool CorrectPixels(std::uint16_t* frame, const CorrectionPlanes& planes);

}  // namespace calidra
