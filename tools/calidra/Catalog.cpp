#include "Catalog.h"

#include <algorithm>
#include <iterator>

#include "Numbers.h"
#include "calidra.h"

namespace calidra::tool {

namespace {

// clang-format off
// names.md: catalog (written by tools/names.py from src/api/names.md)
constexpr SaveType kSaveTypes[] = {
    {CALIDRA_SAVE_BMP, "bmp", ".bmp", 921654, "colour picture, Windows bitmap, 24 bits"},
    {CALIDRA_SAVE_COLOR_BYTES, "color-raw", ".bgr", 921600, "colour picture, bare blue-green-red bytes, bottom row first"},
    {CALIDRA_SAVE_JPEG_100, "jpeg100", ".jpg", -1, "colour picture, progressive JPEG, quality 100"},
    {CALIDRA_SAVE_JPEG_70, "jpeg70", ".jpg", -1, "colour picture, progressive JPEG, quality 70"},
    {CALIDRA_SAVE_JPEG_20, "jpeg20", ".jpg", -1, "colour picture, progressive JPEG, quality 20"},
    {CALIDRA_SAVE_PNG, "png", ".png", -1, "colour picture, PNG, 8-bit RGB"},
    {CALIDRA_SAVE_TIFF, "tiff", ".tif", -1, "colour picture, TIFF, 8-bit RGB, uncompressed, one strip"},
    {CALIDRA_SAVE_RAW_BYTES, "raw", ".raw", 614400, "raw levels, bare 16-bit little-endian, bottom row first"},
    {CALIDRA_SAVE_RAW_PNG, "png16", ".png", -1, "raw levels x 64 (modulo 65,536), PNG, 16-bit grey"},
    {CALIDRA_SAVE_RAW_TIFF, "tiff16", ".tif", -1, "raw levels, scaled as in the PNG, TIFF, 16-bit grey"},
    {CALIDRA_SAVE_TEMPERATURE_S8, "temp-s8", ".s8", 307200, "temperatures, signed 8-bit degrees C, bottom row first"},
    {CALIDRA_SAVE_TEMPERATURE_U8, "temp-u8", ".u8", 307200, "temperatures, unsigned 8-bit degrees C, bottom row first"},
    {CALIDRA_SAVE_TEMPERATURE_I32, "temp-i32", ".i32", 1228800, "temperatures, 32-bit integer degrees C, bottom row first"},
    {CALIDRA_SAVE_TEMPERATURE_F32, "temp-f32", ".f32", 1228800, "temperatures, 32-bit float degrees C, bottom row first"},
};

constexpr RecordKind kRecordKinds[] = {
    {CALIDRA_RECORD_RAW, "raw", ".raw", 614400, "headerless sequence of raw images, bottom row first"},
    {CALIDRA_RECORD_AVI, "avi", ".avi", 921608, "AVI, uncompressed 24-bit colour video, bottom-up rows, index at the end"},
    {CALIDRA_RECORD_TEMPERATURE, "temp", ".temp", 1228800, "headerless float temperature images (built-in thermo table), bottom row first"},
};

constexpr Parameter kParameters[] = {
    {CALIDRA_PARAM_WIDTH, "width", "image width, 640"},
    {CALIDRA_PARAM_HEIGHT, "height", "image height, 480"},
    {CALIDRA_PARAM_FRAME_RATE_X100, "frame-rate", "measured frames per second x 100"},
    {CALIDRA_PARAM_RECORD_KIND, "record-kind", "recording kind asked for (0 none, 1 raw, 2 avi, 3 temp)"},
    {CALIDRA_PARAM_PREVIEWING, "previewing", "1 while live acquisition runs"},
    {CALIDRA_PARAM_PAUSED, "paused", "1 while live acquisition is paused"},
    {CALIDRA_PARAM_RECORDING, "recording", "1 while a recording file is open"},
    {CALIDRA_PARAM_RING_LENGTH, "ring-length", "frames kept for reading by id (fixed at 30)"},
    {CALIDRA_PARAM_SLEEP_MS, "sleep-ms", "pause of the acquisition loop per pass, ms"},
    {CALIDRA_PARAM_NUC_HOLD_OFF_MS, "nuc-hold-off-ms", "frames dropped for this long after a calibration starts, ms"},
    {CALIDRA_PARAM_FILE_LIMIT_MIB, "file-limit-mib", "size in MiB at which an AVI recording continues in name_1, name_2, ..."},
    {CALIDRA_PARAM_AUTO_RANGE, "auto-range", "colour range: -1 follows every frame, c > 0 the next c frames, 0 stays"},
    {CALIDRA_PARAM_RANGE_LOW, "range-low", "raw level up to which the colour picture is black"},
    {CALIDRA_PARAM_RANGE_HIGH, "range-high", "raw level from which the colour picture is white"},
    {CALIDRA_PARAM_AUTO_NUC, "auto-nuc", "1: calibrate when the internal temperature changes"},
    {CALIDRA_PARAM_TEMP_RANGE, "temp-range", "temperature range selector (writing it is not supported)"},
    {CALIDRA_PARAM_FLIP_DISPLAY, "flip-display", "1: readouts by frame id deliver the top row first"},
    {CALIDRA_PARAM_FLIP_FILE, "flip-file", "1: files hold their rows in the opposite order"},
};
// names.md: end
// clang-format on

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

std::string Catalog::ParameterColumns(int indent) {
    constexpr std::size_t kColumns = 3;
    constexpr std::size_t kCellWidth = 20;
    const std::size_t rows = (std::size(kParameters) + kColumns - 1) / kColumns;
    std::string text;
    for (std::size_t row = 0; row < rows; ++row) {
        std::string line(indent, ' ');
        for (std::size_t column = 0; column < kColumns; ++column) {
            const std::size_t index = column * rows + row;
            if (index >= std::size(kParameters)) break;
            std::string cell = std::to_string(kParameters[index].id);
            if (cell.size() < 2) cell.insert(0, 1, ' ');
            cell += " " + std::string(kParameters[index].name);
            if (column + 1 < kColumns) cell.resize(std::max(cell.size() + 1, kCellWidth), ' ');
            line += cell;
        }
        while (line.back() == ' ') line.pop_back();
        text += line + "\n";
    }
    return text;
}

std::string Catalog::SaveTypeNames(int indent) {
    constexpr std::size_t kWidth = 88;
    std::string text;
    std::string line(indent, ' ');
    for (const SaveType& entry : kSaveTypes) {
        if (line.size() + 1 + entry.name.size() > kWidth && line.size() > std::size_t(indent)) {
            text += line + "\n";
            line.assign(indent, ' ');
        }
        if (line.size() > std::size_t(indent)) line += ' ';
        line += entry.name;
    }
    return text + line + "\n";
}

std::string Catalog::RecordKindLines(int indent) {
    std::string text;
    for (const RecordKind& entry : kRecordKinds) {
        std::string line = std::string(indent, ' ') + std::string(entry.name);
        line.resize(indent + 6, ' ');
        text += line + std::string(entry.content) + "\n";
    }
    return text;
}

}  // namespace calidra::tool
