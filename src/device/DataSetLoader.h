// Reader of a camera's data set ("VL-DATSET-V" file): correction planes, level
// table, bad pixels, sensor settings and NUC tables in five sections. The file
// is untrusted: every field is read only where the bytes are really there, and
// counts and sizes are cut to what the file holds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/BadPixelList.h"
#include "device/CorrectionPlanes.h"
#include "device/LevelTable.h"
#include "device/NucTableSet.h"
#include "device/SensorSettings.h"
#include "device/ShutterCalibration.h"

namespace calidra {

// Everything a data set fills; the caller holds the device lock around Apply.
struct DataSetTargets {
    CorrectionPlanes& planes;
    LevelTable& levels;
    BadPixelList& badPixels;
    NucTableSet& nucTables;
    ShutterCalibration& calibration;
    SensorSettings& sensor;
};

class DataSetLoader {
public:
    // Larger files are refused instead of read into memory: a full data set with
    // planes, level table and a few hundred NUC tables stays far below this.
    static constexpr std::size_t kMaxFileSize = std::size_t{512} << 20;
    static constexpr int kSectionCount = 5;
    // Settings sections of this version and later carry the reference level.
    static constexpr int kReferenceLevelVersion = 1011;

    // Where one section's data lies in the file image, cut to the image.
    struct Section {
        std::size_t offset = 0;
        std::size_t length = 0;
    };

    // The whole file into image; false for a null or empty path, a file that
    // cannot be opened or read, or one above kMaxFileSize.
    static bool ReadFile(const wchar_t* path, std::vector<std::uint8_t>& image);

    // true when the image starts with "VL-DATSET-V".
    static bool IsDataSet(const std::uint8_t* data, std::size_t size);

    // Loads a file image into the targets: 0 when it is not a data set, and then
    // nothing changes; 1 otherwise, however short or inconsistent the rest is.
    // Sends the sensor settings and sleeps 100 ms through targets.sensor.
    static int Apply(const std::uint8_t* data, std::size_t size, const DataSetTargets& targets);

    // Section k's header lies where section k - 1's data, padded to 16 bytes,
    // ends; section 0's at offset 48. A section beyond the image is empty.
    static std::array<Section, kSectionCount> LocateSections(const std::uint8_t* data, std::size_t size);

    // The decimal number at the start of text as the C "%d" conversion reads it
    // (leading white space, an optional sign, digits; saturated to 32 bits);
    // fallback when there is no number.
    static int ParseDecimal(const std::uint8_t* text, std::size_t length, int fallback);
};

}  // namespace calidra
