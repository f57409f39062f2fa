#include "output/StillPicture.h"

#include <bit>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "output/ImageFile.h"
#include "pipeline/DibImage.h"
#include "pipeline/ThermoTable.h"

namespace calidra {

namespace {

// Image format of types 0 to 9; types 0 to 6 save the colour picture.
constexpr unsigned kFormatOfType[] = {kFormatBitmap, kFormatBareBytes, kFormatJpeg100,   kFormatJpeg70, kFormatJpeg20,
                                      kFormatPng,    kFormatTiff,      kFormatBareBytes, kFormatPng,    kFormatTiff};
constexpr unsigned kLastColourType = 6;
constexpr unsigned kFirstTemperatureType = 10;

int SaveTemperatures(const wchar_t* path, unsigned type, const StillFrame& frame, bool flip) {
    const DibImage* raw = frame.raw;
    if (raw == nullptr || !raw->HasPixels()) return 0;
    if (type != 13 && frame.thermo == nullptr) return 0;
    const std::size_t count = static_cast<std::size_t>(raw->Width()) * static_cast<std::size_t>(raw->Height());
    const std::size_t elementBytes = type <= 11 ? 1 : 4;
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(count * elementBytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    // The buffer's bytes are filled through the element type of each converter:
    // std::vector's storage is suitably aligned for every one of them.
    void* out = buffer.data();
    int converted = 0;
    switch (type) {
        case 10:
            converted = TemperaturesS8(raw, static_cast<std::int8_t*>(out), flip, *frame.thermo);
            break;
        case 11:
            converted = TemperaturesU8(raw, static_cast<std::uint8_t*>(out), flip, *frame.thermo);
            break;
        case 12:
            converted = TemperaturesI32(raw, static_cast<std::int32_t*>(out), flip, *frame.thermo);
            break;
        default:
            converted = TemperaturesF32(raw, static_cast<float*>(out), flip, frame.levels);
            break;
    }
    if (converted == 0) return 0;
    if constexpr (std::endian::native == std::endian::big) {
        // The files hold little-endian numbers whatever the host is.
        if (elementBytes == 4) {
            for (std::size_t at = 0; at + 3 < buffer.size(); at += 4) {
                std::swap(buffer[at], buffer[at + 3]);
                std::swap(buffer[at + 1], buffer[at + 2]);
            }
        }
    }
    return WriteBareFile(path, buffer.data(), buffer.size());
}

}  // namespace

int SaveStillPicture(const wchar_t* path, unsigned type, const StillFrame& frame, bool flip) {
    if (path == nullptr || type > kLastStillType) return 0;
    if (type >= kFirstTemperatureType) return SaveTemperatures(path, type, frame, flip);
    const DibImage* image = type <= kLastColourType ? frame.colour : frame.raw;
    return flip ? SaveImageFileFlipped(path, image, kFormatOfType[type])
                : SaveImageFile(path, image, kFormatOfType[type]);
}

}  // namespace calidra
