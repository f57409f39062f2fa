#include "output/CorrectionFile.h"

#include <cstring>
#include <new>
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

bool CorrectionFileImage(const CorrectionPlanes& planes, std::vector<std::uint8_t>& image) {
    if (planes.Width() < 1 || planes.Height() < 1) return false;
    const std::size_t pixels = static_cast<std::size_t>(planes.Width()) * static_cast<std::size_t>(planes.Height());
    for (int plane = 0; plane < CorrectionPlanes::kPlaneCount; ++plane) {
        if (planes.Values(static_cast<CorrectionPlanes::Plane>(plane)).size() != pixels) return false;
    }
    const std::size_t planeBytes = pixels * 8;
    if (planeBytes > 0xFFFFFFFFu) return false;
    try {
        image.resize(kCorrectionHeaderBytes + CorrectionPlanes::kPlaneCount * planeBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }

    std::uint8_t* header = image.data();
    std::memset(header, 0, kCorrectionHeaderBytes);
    std::memcpy(header, kCorrectionMagic, sizeof kCorrectionMagic);  // 15 characters and the terminator
    PutLE32(header + 16, static_cast<std::uint32_t>(planes.Width()));
    PutLE32(header + 20, static_cast<std::uint32_t>(planes.Height()));
    PutLE32(header + 24, static_cast<std::uint32_t>(planes.TagValue()));
    PutLE32(header + 28, static_cast<std::uint32_t>(planeBytes));
    PutLEDouble(header + 32, planes.ScaleValue());
    PutLE32(header + 40, static_cast<std::uint32_t>(planes.Flags()));
    for (int plane = 0; plane < CorrectionPlanes::kPlaneCount; ++plane) {
        PutLEDoubles(header + kCorrectionHeaderBytes + plane * planeBytes,
                     planes.Values(static_cast<CorrectionPlanes::Plane>(plane)));
    }
    return true;
}

int WriteCorrectionFile(std::span<const std::uint8_t> image, const wchar_t* path) {
    if (path == nullptr || image.empty()) return 0;
    File file;
    if (!file.OpenForWrite(path) || !file.Write(image.data(), image.size())) return 0;
    file.Close();
    return 1;
}

int SaveCorrectionFile(const CorrectionPlanes& planes, const wchar_t* path) {
    std::vector<std::uint8_t> image;
    if (path == nullptr || !CorrectionFileImage(planes, image)) return 0;
    return WriteCorrectionFile(image, path);
}

int LoadCorrectionBytes(CorrectionPlanes& planes, const std::uint8_t* data, std::size_t size) {
    if (data == nullptr) return 0;
    const ByteReader reader(data, size);
    if (!reader.Has(0, kCorrectionHeaderBytes) || std::memcmp(data, kMagicTag, kMagicTagBytes) != 0) return 0;
    const int version = CorrectionFileVersion(data);
    if (version < kCorrectionOldestVersion) return 0;

    std::int32_t width = 0, height = 0, tag = 0;
    std::uint32_t planeBytes = 0;
    double scaleValue = 0.0;
    reader.I32(16, width);
    reader.I32(20, height);
    reader.I32(24, tag);
    reader.U32(28, planeBytes);
    reader.Double(32, scaleValue);
    // The correction always covers the whole sensor frame: planes of another
    // size would leave pixels uncorrected or misplaced.
    if (width != kFrameWidth || height != kFrameHeight) return 0;
    if (planeBytes != kFramePixels * 8) return 0;
    const int planesInFile = version >= kCorrectionVersionWithScalePlane ? 4 : 3;
    if (!reader.Has(kCorrectionHeaderBytes, planesInFile * std::size_t{planeBytes})) return 0;

    // The whole file is accepted; only memory can still run out. Planes of the
    // frame's size are refilled where they are, which cannot fail; others are
    // replaced only once the new ones exist, so a refusal changes nothing.
    CorrectionPlanes fresh;
    CorrectionPlanes& target = planes.PixelCount() == kFramePixels ? planes : fresh;
    if (!target.InitPlanes(width, height)) return 0;
    target.SetTagValue(tag);
    target.SetScaleValue(scaleValue);
    for (int plane = 0; plane < planesInFile; ++plane) {
        GetLEDoubles(data + kCorrectionHeaderBytes + plane * std::size_t{planeBytes},
                     target.Values(static_cast<CorrectionPlanes::Plane>(plane)));
    }
    if (&target == &fresh) planes = std::move(fresh);
    return 1;
}

bool ReadCorrectionFile(const wchar_t* path, std::vector<std::uint8_t>& bytes) {
    File file;
    if (path == nullptr || !file.OpenRead(path)) return false;
    // No file of ours is longer: bytes beyond it would be ignored anyway.
    try {
        bytes.resize(kCorrectionFileMaxBytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const std::int64_t got = file.Read(bytes.data() + filled, bytes.size() - filled);
        if (got < 0) return false;
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

int LoadCorrectionFile(CorrectionPlanes& planes, const wchar_t* path) {
    std::vector<std::uint8_t> bytes;
    if (!ReadCorrectionFile(path, bytes)) return 0;
    return LoadCorrectionBytes(planes, bytes.data(), bytes.size());
}

}  // namespace calidra
