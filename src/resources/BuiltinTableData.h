// The bytes of the built-in thermo tables, compiled in from the committed block
// files of this folder (each a table of the bare layout, 16,384 points).
#pragma once

#include <cstddef>
#include <cstdint>

namespace calidra {

extern const std::uint8_t kThermoNormalTable[];
extern const std::size_t kThermoNormalTableSize;
extern const std::uint8_t kThermoHighTable[];
extern const std::size_t kThermoHighTableSize;

}  // namespace calidra
