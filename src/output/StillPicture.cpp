#include "output/StillPicture.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "output/ImageFile.h"
#include "pipeline/ThermoTable.h"

namespace calidra {

namespace {

// Image format of types 0 to 9; types 0 to 6 save the colour picture.
constexpr unsigned kFormatOfType[] = {kFormatBitmap, kFormatBareBytes, kFormatJpeg100,   kFormatJpeg70, kFormatJpeg20,
                                      kFormatPng,    kFormatTiff,      kFormatBareBytes, kFormatPng,    kFormatTiff};
constexpr unsigned kLastColourType = 6;
constexpr unsigned kFirstTemperatureType = 10;

// The temperature array of a type 10 to 13 into scratch: its first byte and
// size, or nullptr.
const std::uint8_t* TakeTemperatures(unsigned type, const StillFrame& frame, bool flip, WriterScratch& scratch,
                                     std::size_t& size) {
    const DibImage* raw = frame.raw;
    if (raw == nullptr || !raw->HasPixels()) return nullptr;
    if (type != 13 && frame.thermo == nullptr) return nullptr;
    const std::size_t count = static_cast<std::size_t>(raw->Width()) * static_cast<std::size_t>(raw->Height());
    const std::size_t elementBytes = type <= 11 ? 1 : 4;
    const std::size_t bytes = count * elementBytes;
    // The scratch's bytes are filled through the element type of each converter:
    // its storage is aligned for every one of them.
    std::uint8_t* buffer = scratch.Get(bytes);
    if (buffer == nullptr) return nullptr;
    void* out = buffer;
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
    if (converted == 0) return nullptr;
    if constexpr (std::endian::native == std::endian::big) {
        // The files hold little-endian numbers whatever the host is.
        if (elementBytes == 4) {
            for (std::size_t at = 0; at + 3 < bytes; at += 4) {
                std::swap(buffer[at], buffer[at + 3]);
                std::swap(buffer[at + 1], buffer[at + 2]);
            }
        }
    }
    size = bytes;
    return buffer;
}

// image with its stored lines in reverse order.
bool CopyReversed(const DibImage& image, DibImage& out) {
    if (!out.CreateLike(&image)) return false;
    const std::int32_t height = image.Height();
    const auto stride = static_cast<std::size_t>(image.Stride());
    for (std::int32_t k = 0; k < height; ++k) std::memcpy(out.Row(k), image.Row(height - 1 - k), stride);
    return true;
}

}  // namespace

bool StillWriter::Take(unsigned type, const StillFrame& frame, bool flip) {
    taken_ = Taken::kNothing;
    if (type > kLastStillType) return false;
    if (type >= kFirstTemperatureType) {
        bytes_ = TakeTemperatures(type, frame, flip, scratch_, size_);
        if (bytes_ == nullptr) return false;
        taken_ = Taken::kBytes;
        return true;
    }
    const DibImage* image = type <= kLastColourType ? frame.colour : frame.raw;
    if (image == nullptr || !image->HasPixels()) return false;
    format_ = kFormatOfType[type];
    if (format_ == kFormatTiff && !flip) {
        // The strip is made straight from the frame: no copy of it first.
        if (!PrepareTiffStrip(image, strip_, scratch_)) return false;
        taken_ = Taken::kTiff;
        return true;
    }
    if (!(flip ? CopyReversed(*image, image_) : image_.CopyFrom(image))) return false;
    taken_ = Taken::kImage;
    return true;
}

int StillWriter::Write(const wchar_t* path) {
    const Taken taken = std::exchange(taken_, Taken::kNothing);
    if (path == nullptr) return 0;
    switch (taken) {
        case Taken::kBytes:
            return WriteBareFile(path, bytes_, size_);
        case Taken::kTiff:
            return WriteTiffStrip(path, strip_);
        case Taken::kImage:
            return SaveImageFile(path, &image_, format_);
        case Taken::kNothing:
            break;
    }
    return 0;
}

int SaveStillPicture(const wchar_t* path, unsigned type, const StillFrame& frame, bool flip) {
    if (path == nullptr) return 0;
    StillWriter writer;
    return writer.Take(type, frame, flip) ? writer.Write(path) : 0;
}

}  // namespace calidra
