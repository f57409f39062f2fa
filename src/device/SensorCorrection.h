// The correction state of one device object: planes, bad pixels, level table,
// NUC tables and the shutter calibration, and the per-frame pass over them.
// It holds no lock: the device object calls every operation under its device lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/BadPixelList.h"
#include "device/CorrectionPlanes.h"
#include "device/LevelTable.h"
#include "device/NucTableSet.h"
#include "device/SensorSettings.h"
#include "device/ShutterCalibration.h"

namespace calidra {

class SensorCorrection {
public:
    // The state of a new device object: a 640 x 480 planes header without planes,
    // a level table of count 16384 without arrays, no bad pixels, no NUC tables.
    SensorCorrection() = default;
    SensorCorrection(const SensorCorrection&) = delete;
    SensorCorrection& operator=(const SensorCorrection&) = delete;

    // Camera set-up: fresh 640 x 480 planes, no bad pixels, the default reference
    // level and level table, no NUC tables. A calibration under way goes on.
    void Reset();

    // Corrects one raw 640 x 480 frame (line 0 first) in place: feeds a requested
    // calibration first, so the frame that completes it already uses the new
    // shutter offsets; then the planes; then the bad pixels, from corrected values.
    void CorrectFrame(std::uint16_t* frame, SensorSettings& sensor);
    // The same correction of frame into destination with the lines reversed
    // (destination line 479 - y holds frame line y): the frame is only read.
    void CorrectFrameReversed(const std::uint16_t* frame, std::uint16_t* destination, SensorSettings& sensor);

    // Arms a calibration over the next framesToAverage frames.
    void RequestCalibration(int framesToAverage) { calibration_.Request(framesToAverage); }

    // Loads a data-set file image (see DataSetLoader): 1 loaded, 0 not a data set.
    int LoadDataSet(const std::uint8_t* image, std::size_t size, SensorSettings& sensor);

    CorrectionPlanes& Planes() { return planes_; }
    const CorrectionPlanes& Planes() const { return planes_; }
    BadPixelList& BadPixels() { return badPixels_; }
    const BadPixelList& BadPixels() const { return badPixels_; }
    LevelTable& Levels() { return levels_; }
    const LevelTable& Levels() const { return levels_; }
    NucTableSet& NucTables() { return nucTables_; }
    const NucTableSet& NucTables() const { return nucTables_; }
    ShutterCalibration& Calibration() { return calibration_; }
    const ShutterCalibration& Calibration() const { return calibration_; }

private:
    CorrectionPlanes planes_;
    BadPixelList badPixels_;
    LevelTable levels_;
    NucTableSet nucTables_;
    ShutterCalibration calibration_;
};

}  // namespace calidra
