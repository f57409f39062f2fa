#include "device/DataSetLoader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "device/SensorFrame.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"

namespace calidra {

namespace {

constexpr char kMagic[] = "VL-DATSET-V";
constexpr std::size_t kMagicLength = sizeof kMagic - 1;
constexpr std::size_t kFirstSection = 48;
constexpr std::size_t kSectionHeaderSize = 16;
constexpr int kDefaultVersion = 1000;
constexpr std::uint32_t kSettleMs = 100;

enum SectionIndex { kBadPixels = 0, kSettings = 1, kPlanes = 2, kLevels = 3, kNucTables = 4 };

ByteReader SectionReader(const std::uint8_t* data, const DataSetLoader::Section& section) {
    return ByteReader(section.length == 0 ? nullptr : data + section.offset, section.length);
}

// Reads up to count doubles from offset on into out, as many as the section holds.
void CopyDoubles(const ByteReader& in, std::uint64_t offset, std::uint64_t count, std::span<double> out) {
    if (offset >= in.Size()) return;
    count = std::min<std::uint64_t>({count, out.size(), (in.Size() - offset) / 8});
    GetLEDoubles(in.Data() + offset, out.first(static_cast<std::size_t>(count)));
}

void LoadPlanes(const ByteReader& in, CorrectionPlanes& planes) {
    planes.InitPlanes(kFrameWidth, kFrameHeight);
    std::uint16_t tag;
    if (in.U16(24, tag)) {
        planes.SetTagValue(
            static_cast<std::int32_t>((static_cast<std::uint32_t>(planes.TagValue()) & 0xFFFF0000u) | tag));
    }
    double scale;
    if (in.Double(32, scale)) planes.SetScaleValue(scale);
    std::int32_t planeBytes = 0;
    in.I32(28, planeBytes);
    if (planeBytes <= 0) return;
    const auto size = static_cast<std::uint64_t>(planeBytes);
    for (int k = 0; k < CorrectionPlanes::kPlaneCount; ++k) {
        // A plane size that is not a whole number of doubles leaves its last partial value out.
        CopyDoubles(in, 48 + k * size, size / 8, planes.Values(static_cast<CorrectionPlanes::Plane>(k)));
    }
}

void LoadLevels(const ByteReader& in, LevelTable& levels) {
    std::int32_t n = 0;
    in.I32(16, n);
    auto& stored = levels.StoredValues();
    for (std::size_t k = 0; k < stored.size(); ++k) in.I32(20 + 4 * k, stored[k]);
    if (!levels.InitLevelTable(n)) return;
    const auto count = static_cast<std::uint64_t>(n);
    CopyDoubles(in, 48, count, levels.Temperatures());
    CopyDoubles(in, 48 + 8 * count, count, levels.Offsets());
}

void LoadBadPixels(const ByteReader& in, BadPixelList& list) {
    list.Clear();
    std::int32_t stated = 0;
    in.I32(16, stated);
    if (stated <= 0 || in.Size() <= 32) return;
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(stated), (in.Size() - 32) / 16);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = 32 + 16 * i;
        BadPixel entry;
        in.I32(at, entry.x);
        in.I32(at + 4, entry.y);
        in.I32(at + 8, entry.direction);
        in.I32(at + 12, entry.reserved);
        list.Append(entry);
    }
}

void LoadSettings(const ByteReader& in, ShutterCalibration& calibration, SensorSettings& sensor) {
    SensorSettingValues values;
    calibration.SetReferenceLevel(ShutterCalibration::kDefaultReferenceLevel);
    const int version =
        in.Size() > 11 ? DataSetLoader::ParseDecimal(in.Data() + 11, in.Size() - 11, kDefaultVersion) : kDefaultVersion;
    in.I32(16, values.word49);
    in.I32(20, values.reg48Mode);
    in.I32(24, values.pair40);
    in.I32(28, values.pair42);
    in.I32(32, values.pair64);
    in.I32(36, values.pair66);
    in.I32(40, values.pair68);
    in.I32(44, values.pair70);
    in.I32(48, values.unused);
    sensor.AssignSettings(values);
    std::int32_t reference;
    if (version >= DataSetLoader::kReferenceLevelVersion && in.I32(52, reference)) {
        calibration.SetReferenceLevel(reference);
    }
    sensor.SetWord49(values.word49);
    sensor.SetReg48Mode(values.reg48Mode);
    sensor.SetPair40(values.pair40);
    sensor.SetPair42(values.pair42);
    sensor.SetPair64(values.pair64);
    sensor.SetPair66(values.pair66);
    sensor.SetPair68(values.pair68);
    sensor.SetPair70(values.pair70);
    sensor.Sleep(kSettleMs);
}

}  // namespace

bool DataSetLoader::ReadFile(const wchar_t* path, std::vector<std::uint8_t>& image) {
    if (path == nullptr || path[0] == L'\0') return false;
    File file;
    if (!file.OpenRead(path)) return false;
    const std::int64_t size = file.Size();
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxFileSize) return false;
    try {
        image.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t filled = 0;
    while (filled < image.size()) {
        const std::int64_t got = file.Read(image.data() + filled, image.size() - filled);
        if (got < 0) return false;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    // A file that shrank while being read is taken as far as it went.
    image.resize(filled);
    return true;
}

bool DataSetLoader::IsDataSet(const std::uint8_t* data, std::size_t size) {
    return data != nullptr && size >= kMagicLength && std::memcmp(data, kMagic, kMagicLength) == 0;
}

std::array<DataSetLoader::Section, DataSetLoader::kSectionCount> DataSetLoader::LocateSections(const std::uint8_t* data,
                                                                                               std::size_t size) {
    std::array<Section, kSectionCount> sections{};
    const ByteReader in(data, data == nullptr ? 0 : size);
    std::uint64_t header = kFirstSection;
    for (auto& section : sections) {
        std::uint32_t length;
        // 64-bit offsets: five lengths of up to 4 GiB each cannot wrap.
        if (header > in.Size() || !in.U32(static_cast<std::size_t>(header), length)) break;
        const std::uint64_t start = header + kSectionHeaderSize;
        if (start < in.Size()) {
            section.offset = static_cast<std::size_t>(start);
            section.length = static_cast<std::size_t>(std::min<std::uint64_t>(length, in.Size() - start));
        }
        header = start + ((std::uint64_t{length} + 15) & ~std::uint64_t{15});
    }
    return sections;
}

int DataSetLoader::ParseDecimal(const std::uint8_t* text, std::size_t length, int fallback) {
    if (text == nullptr) return fallback;
    std::size_t i = 0;
    while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= length || text[i] < '0' || text[i] > '9') return fallback;
    std::int64_t value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::int64_t{INT32_MAX} + 1);
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

int DataSetLoader::Apply(const std::uint8_t* data, std::size_t size, const DataSetTargets& targets) {
    if (!IsDataSet(data, size)) return 0;
    const auto sections = LocateSections(data, size);
    LoadPlanes(SectionReader(data, sections[kPlanes]), targets.planes);
    LoadLevels(SectionReader(data, sections[kLevels]), targets.levels);
    LoadBadPixels(SectionReader(data, sections[kBadPixels]), targets.badPixels);
    LoadSettings(SectionReader(data, sections[kSettings]), targets.calibration, targets.sensor);
    const Section& nuc = sections[kNucTables];
    targets.nucTables.Reset(kFrameWidth, kFrameHeight);
    targets.nucTables.LoadNucTables(nuc.length == 0 ? nullptr : data + nuc.offset, nuc.length);
    return 1;
}

}  // namespace calidra
