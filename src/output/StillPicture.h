// Saves the newest frame as one of the fourteen still-picture types: the
// colour picture (bitmap, bare bytes, JPEG at three qualities, PNG, TIFF), the
// raw levels (bare bytes, 16-bit PNG, 16-bit TIFF) or the temperatures
// (headerless arrays of signed 8-bit, unsigned 8-bit, 32-bit integer or 32-bit
// float values).
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/TiffFile.h"
#include "output/WriterScratch.h"
#include "pipeline/DibImage.h"
#include "pipeline/Temperatures.h"

namespace calidra {

class ThermoTable;

inline constexpr unsigned kLastStillType = 13;

// What a save reads: the newest frame's images and the two temperature sources.
struct StillFrame {
    const DibImage* raw = nullptr;        // 16-bit levels: types 7 to 13
    const DibImage* colour = nullptr;     // 24-bit picture: types 0 to 6
    const ThermoTable* thermo = nullptr;  // the active thermo table: types 10 to 12
    LevelColumns levels;                  // the device's level table: type 13
};

// A save in two steps. Take copies or converts what the file needs, while the
// caller keeps the frame from changing; Write then writes the file from that
// alone, so that no encoder or disk holds the frame up. Each step takes the
// frame once: a TIFF strip or a temperature array straight from it, other
// files from one copy of the image. The memory stays for the next save. One
// thread at a time uses a writer.
class StillWriter {
public:
    // false, with nothing to write, for a type above kLastStillType, a missing
    // image or temperature source, or no memory. With flip the file will hold
    // its rows in the opposite order.
    bool Take(unsigned type, const StillFrame& frame, bool flip);
    // 1 when the file was written; 0 for a null path, nothing taken, or any
    // failure to write the file. What was taken is used up.
    int Write(const wchar_t* path);

private:
    enum class Taken { kNothing, kImage, kTiff, kBytes };
    Taken taken_ = Taken::kNothing;
    unsigned format_ = 0;
    DibImage image_;
    TiffStrip strip_;
    WriterScratch scratch_;  // TIFF strips and temperature arrays
    const std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
};

// Writes frame as the given type; with flip, every file holds its rows in the
// opposite order. 1 on success; 0 for a null path, a type above
// kLastStillType, a missing image or temperature source, no memory, or any
// failure to write the file. The caller reports a missing frame and a bad type
// before calling, and a 0 from here as a file error.
int SaveStillPicture(const wchar_t* path, unsigned type, const StillFrame& frame, bool flip);

}  // namespace calidra
