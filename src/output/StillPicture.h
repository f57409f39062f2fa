// Saves the newest frame as one of the fourteen still-picture types: the
// colour picture (bitmap, bare bytes, JPEG at three qualities, PNG, TIFF), the
// raw levels (bare bytes, 16-bit PNG, 16-bit TIFF) or the temperatures
// (headerless arrays of signed 8-bit, unsigned 8-bit, 32-bit integer or 32-bit
// float values).
#pragma once

#include "pipeline/Temperatures.h"

namespace calidra {

class DibImage;
class ThermoTable;

inline constexpr unsigned kLastStillType = 13;

// What a save reads: the newest frame's images and the two temperature sources.
struct StillFrame {
    const DibImage* raw = nullptr;        // 16-bit levels: types 7 to 13
    const DibImage* colour = nullptr;     // 24-bit picture: types 0 to 6
    const ThermoTable* thermo = nullptr;  // the active thermo table: types 10 to 12
    LevelColumns levels;                  // the device's level table: type 13
};

// Writes frame as the given type; with flip, every file holds its rows in the
// opposite order. 1 on success; 0 for a type above kLastStillType, a missing
// image or temperature source, no memory, or any failure to write the file.
// The caller reports a missing frame and a bad type before calling, and a 0
// from here as a file error.
int SaveStillPicture(const wchar_t* path, unsigned type, const StillFrame& frame, bool flip);

}  // namespace calidra
