// Converters from a 16-bit raw image to temperature pictures: width x height
// values, row after row, no padding. Output row k comes from stored line k, or
// from line (height - 1 - k) when reversedRows is set. Each returns 1, or 0
// when the image or the output is missing, the image holds no pixels or is not
// 16 bits deep; nothing allocates.
#pragma once

#include <cstdint>
#include <span>

#include "pipeline/LevelTemperatures.h"

namespace calidra {

class DibImage;
class ThermoTable;

// Degrees through the thermo table: at or below -128 gives -128, at or above 127
// gives 127, otherwise truncated toward zero.
int TemperaturesS8(const DibImage* raw, std::int8_t* out, bool reversedRows, const ThermoTable& table);
// At or below 0 gives 0, at or above 255 gives 255, otherwise truncated.
int TemperaturesU8(const DibImage* raw, std::uint8_t* out, bool reversedRows, const ThermoTable& table);
// Truncated toward zero; values beyond the 32-bit range are held at its ends
// and a value that is not a number gives 0.
int TemperaturesI32(const DibImage* raw, std::int32_t* out, bool reversedRows, const ThermoTable& table);

// The columns of a per-level table: the temperature of level v is
// temperature[i] + offset[i] with i = v AND (count - 1), the mask formed in 16
// bits. An index outside either column gives 0.0.
// The level table's columns, as the temperature kernel reads them.
using LevelColumns = LevelTableView;

// The level table's temperature plus offset, rounded to single precision.
int TemperaturesF32(const DibImage* raw, float* out, bool reversedRows, const LevelColumns& levels);

}  // namespace calidra
