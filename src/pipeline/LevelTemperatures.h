// Raw levels to degrees through a per-level table of temperatures and offsets,
// the conversion behind the float temperature readout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace calidra {

// The per-level table as the device layer holds it: the temperature of level v
// is temperature[i] + offset[i] in double precision, rounded to float, with
// i = v AND (count - 1), the mask formed in 16 bits. An index outside either
// column reads 0.0f, so a short or empty table is never read past its end.
struct LevelTableView {
    std::uint32_t count = 0;
    std::span<const double> temperature;
    std::span<const double> offset;
};

// Converts count levels into out (no overlap). Null buffers convert nothing.
void LevelTemperatures(const std::uint16_t* levels, float* out, std::size_t count, const LevelTableView& table);

// Converts height lines of width levels, stored strideBytes apart from lines;
// out receives width floats per row, no padding: row k from line k, or from
// line (height - 1 - k) when reversedRows. The frame-sized form: the table is
// prepared once for all the lines.
void LevelTemperatureRows(const std::uint8_t* lines, std::size_t strideBytes, std::size_t width, std::size_t height,
                          bool reversedRows, float* out, const LevelTableView& table);

// The definition one level at a time: the reference the fast forms match bit for bit.
void LevelTemperaturesScalar(const std::uint16_t* levels, float* out, std::size_t count, const LevelTableView& table);

}  // namespace calidra
