#include "Catalog.h"

#include "Numbers.h"

namespace calidra::tool {

namespace {

constexpr SaveType kSaveTypes[] = {
    {0, "bmp", ".bmp", 921654, "colour picture, Windows bitmap, 24 bits"},
    {1, "color-raw", ".bgr", 921600, "colour picture, bare blue-green-red bytes, bottom row first"},
    {2, "jpeg100", ".jpg", -1, "colour picture, progressive JPEG, quality 100"},
    {3, "jpeg70", ".jpg", -1, "colour picture, progressive JPEG, quality 70"},
    {4, "jpeg20", ".jpg", -1, "colour picture, progressive JPEG, quality 20"},
    {5, "png", ".png", -1, "colour picture, PNG, 8-bit RGB"},
    {6, "tiff", ".tif", -1, "colour picture, TIFF, 8-bit RGB, uncompressed"},
    {7, "raw", ".raw", 614400, "raw levels, bare 16-bit little-endian, bottom row first"},
    {8, "png16", ".png", -1, "raw levels x 64, PNG, 16-bit grey"},
    {9, "tiff16", ".tif", -1, "raw levels, scaled, TIFF, 16-bit grey"},
    {10, "temp-s8", ".s8", 307200, "temperatures, signed 8-bit degrees C, bottom row first"},
    {11, "temp-u8", ".u8", 307200, "temperatures, unsigned 8-bit degrees C, bottom row first"},
    {12, "temp-i32", ".i32", 1228800, "temperatures, 32-bit integer degrees C, bottom row first"},
    {13, "temp-f32", ".f32", 1228800, "temperatures, 32-bit float degrees C, bottom row first"},
};

constexpr RecordKind kRecordKinds[] = {
    {1, "raw", ".raw", 614400},
    {2, "avi", ".avi", 921608},
    {3, "temp", ".temp", 1228800},
};

constexpr Parameter kParameters[] = {
    {1, "width", "image width, 640"},
    {2, "height", "image height, 480"},
    {3, "frame-rate", "measured frames per second x 100"},
    {4, "record-kind", "recording kind asked for (0 none, 1 raw, 2 avi, 3 temp)"},
    {5, "previewing", "1 while live acquisition runs"},
    {6, "paused", "1 while live acquisition is paused"},
    {7, "recording", "1 while a recording file is open"},
    {8, "ring-length", "frames kept for reading by id (fixed at 30)"},
    {9, "sleep-ms", "pause of the acquisition loop per pass, ms"},
    {10, "nuc-hold-off-ms", "frames dropped for this long after a calibration starts, ms"},
    {11, "file-limit-mib", "recording file size at which the next file starts, MiB"},
    {12, "auto-range", "colour range: -1 follows every frame, c > 0 the next c frames, 0 stays"},
    {13, "range-low", "raw level up to which the colour picture is black"},
    {14, "range-high", "raw level from which the colour picture is white"},
    {15, "auto-nuc", "1: calibrate when the internal temperature changes"},
    {16, "temp-range", "temperature range selector (writing it is not supported)"},
    {17, "flip-display", "1: readouts by frame id deliver the top row first"},
    {18, "flip-file", "1: files hold their rows in the opposite order"},
};

}  // namespace

std::span<const SaveType> Catalog::SaveTypes() { return kSaveTypes; }

const SaveType* Catalog::FindSaveType(std::string_view name) {
    for (const SaveType& entry : kSaveTypes) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

std::span<const RecordKind> Catalog::RecordKinds() { return kRecordKinds; }

const RecordKind* Catalog::FindRecordKind(std::string_view name) {
    for (const RecordKind& entry : kRecordKinds) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

std::span<const Parameter> Catalog::Parameters() { return kParameters; }

const Parameter* Catalog::FindParameter(int id) {
    for (const Parameter& entry : kParameters) {
        if (entry.id == id) return &entry;
    }
    return nullptr;
}

std::optional<int> Catalog::ParameterId(std::string_view text) {
    for (const Parameter& entry : kParameters) {
        if (entry.name == text) return entry.id;
    }
    return Numbers::ParseInt(text);
}

}  // namespace calidra::tool
