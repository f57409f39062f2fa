#include "device/SensorCorrection.h"

#include "device/DataSetLoader.h"
#include "device/PixelCorrection.h"
#include "device/SensorFrame.h"

namespace calidra {

void SensorCorrection::Reset() {
    planes_.InitPlanes(kFrameWidth, kFrameHeight);
    badPixels_.Clear();
    calibration_.SetReferenceLevel(ShutterCalibration::kDefaultReferenceLevel);
    levels_.InitLevelTable(LevelTable::kDefaultCount);
    nucTables_.Reset(kFrameWidth, kFrameHeight);
}

void SensorCorrection::CorrectFrame(std::uint16_t* frame, SensorSettings& sensor) {
    if (frame == nullptr) return;
    calibration_.AddFrame(frame, planes_, sensor);
    CorrectPixels(frame, planes_);
    badPixels_.Apply(frame);
}

void SensorCorrection::CorrectFrameReversed(const std::uint16_t* frame, std::uint16_t* destination,
                                            SensorSettings& sensor) {
    if (frame == nullptr || destination == nullptr) return;
    calibration_.AddFrame(frame, planes_, sensor);
    CorrectPixelsReversed(frame, destination, planes_);
    badPixels_.ApplyReversed(destination);
}

int SensorCorrection::LoadDataSet(const std::uint8_t* image, std::size_t size, SensorSettings& sensor) {
    return DataSetLoader::Apply(image, size, {planes_, levels_, badPixels_, nucTables_, calibration_, sensor});
}

}  // namespace calidra
