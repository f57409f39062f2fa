#include "output/CorrectionFile.h"

#include <cstring>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "device/CorrectionPlanes.h"
#include "device/SensorFrame.h"
#include "platform/File.h"
#include "platform/LittleEndian.h"

namespace calidra {

namespace {

constexpr std::size_t kMagicBytes = 16;
constexpr std::size_t kVersionOffset = 11;
constexpr char kMagicTag[] = "VL-CORSET";
constexpr std::size_t kMagicTagBytes = sizeof kMagicTag - 1;

bool IsSpace(std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

void PutPlane(std::uint8_t* out, std::span<const double> values) {
    for (double value : values) {
        PutLEDouble(out, value);
        out += 8;
    }
}

void GetPlane(const std::uint8_t* in, std::span<double> values) {
    for (double& value : values) {
        value = GetLEDouble(in);
        in += 8;
    }
}

}  // namespace

int CorrectionFileVersion(const std::uint8_t* magic16) {
    const std::uint8_t* at = magic16 + kVersionOffset;
    const std::uint8_t* end = magic16 + kMagicBytes;
    while (at < end && IsSpace(*at)) ++at;
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) negative = *at++ == '-';
    if (at == end || *at < '0' || *at > '9') return kCorrectionOldestVersion;
    int version = 0;
    for (; at < end && *at >= '0' && *at <= '9'; ++at) version = version * 10 + (*at - '0');
    return negative ? -version : version;
}

int SaveCorrectionFile(const CorrectionPlanes& planes, const wchar_t* path) {
    if (path == nullptr || planes.Width() < 1 || planes.Height() < 1) return 0;
    const std::size_t pixels = static_cast<std::size_t>(planes.Width()) * static_cast<std::size_t>(planes.Height());
    for (int plane = 0; plane < CorrectionPlanes::kPlaneCount; ++plane) {
        if (planes.Values(static_cast<CorrectionPlanes::Plane>(plane)).size() != pixels) return 0;
    }
    const std::size_t planeBytes = pixels * 8;
    if (planeBytes > 0xFFFFFFFFu) return 0;

    std::uint8_t header[kCorrectionHeaderBytes] = {};
    std::memcpy(header, kCorrectionMagic, sizeof kCorrectionMagic);  // 15 characters and the terminator
    PutLE32(header + 16, static_cast<std::uint32_t>(planes.Width()));
    PutLE32(header + 20, static_cast<std::uint32_t>(planes.Height()));
    PutLE32(header + 24, static_cast<std::uint32_t>(planes.TagValue()));
    PutLE32(header + 28, static_cast<std::uint32_t>(planeBytes));
    PutLEDouble(header + 32, planes.ScaleValue());
    PutLE32(header + 40, static_cast<std::uint32_t>(planes.Flags()));

    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(planeBytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    File file;
    if (!file.OpenForWrite(path) || !file.Write(header, sizeof header)) return 0;
    for (int plane = 0; plane < CorrectionPlanes::kPlaneCount; ++plane) {
        PutPlane(bytes.data(), planes.Values(static_cast<CorrectionPlanes::Plane>(plane)));
        if (!file.Write(bytes.data(), bytes.size())) return 0;
    }
    file.Close();
    return 1;
}

int LoadCorrectionFile(CorrectionPlanes& planes, const wchar_t* path) {
    File file;
    if (path == nullptr || !file.OpenRead(path)) return 0;
    std::uint8_t header[kCorrectionHeaderBytes];
    if (file.Read(header, sizeof header) != static_cast<std::int64_t>(sizeof header)) return 0;
    if (std::memcmp(header, kMagicTag, kMagicTagBytes) != 0) return 0;
    const int version = CorrectionFileVersion(header);
    if (version < kCorrectionOldestVersion) return 0;

    ByteReader reader(header, sizeof header);
    std::int32_t width = 0, height = 0, tag = 0;
    std::uint32_t planeBytes = 0;
    double scaleValue = 0.0;
    if (!reader.I32(16, width) || !reader.I32(20, height) || !reader.I32(24, tag) || !reader.U32(28, planeBytes) ||
        !reader.Double(32, scaleValue)) {
        return 0;
    }
    // The correction always covers the whole sensor frame: planes of another
    // size would leave pixels uncorrected or misplaced.
    if (width != kFrameWidth || height != kFrameHeight) return 0;
    const std::size_t pixels = kFramePixels;
    if (planeBytes != pixels * 8) return 0;

    const int planesInFile = version >= kCorrectionVersionWithScalePlane ? 4 : 3;
    // The new planes are built aside and only replace the ones in use once the
    // whole file has been read, so a refused or short file changes nothing.
    CorrectionPlanes loaded;
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(planeBytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!loaded.InitPlanes(width, height)) return 0;
    loaded.SetTagValue(tag);
    loaded.SetScaleValue(scaleValue);
    for (int plane = 0; plane < planesInFile; ++plane) {
        if (file.Read(bytes.data(), bytes.size()) != static_cast<std::int64_t>(bytes.size())) return 0;
        GetPlane(bytes.data(), loaded.Values(static_cast<CorrectionPlanes::Plane>(plane)));
    }
    planes = std::move(loaded);
    return 1;
}

}  // namespace calidra
