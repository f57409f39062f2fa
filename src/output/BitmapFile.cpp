#include "output/BitmapFile.h"

#include <vector>

#include "output/FileAccess.h"
#include "pipeline/DibImage.h"
#include "platform/LittleEndian.h"

namespace calidra {

namespace {

constexpr std::uint32_t kFileHeaderBytes = 14;

}  // namespace

int WriteBitmapFile(const DibImage* image, const wchar_t* path) {
    if (image == nullptr || path == nullptr || !image->HasPixels()) return 0;
    const auto table = image->ColorTable();
    std::vector<std::uint8_t> head(kFileHeaderBytes + BitmapInfoHeader::kBytes + table.size() * RgbQuad::kBytes);
    const auto pixelOffset = static_cast<std::uint32_t>(head.size());
    const std::uint64_t fileBytes = pixelOffset + std::uint64_t{image->ImageSize()};
    if (fileBytes > 0xFFFFFFFFu) return 0;

    std::uint8_t* out = head.data();
    out[0] = 'B';
    out[1] = 'M';
    PutLE32(out + 2, static_cast<std::uint32_t>(fileBytes));
    PutLE16(out + 6, 0);
    PutLE16(out + 8, 0);
    PutLE32(out + 10, pixelOffset);
    image->Header().Pack(out + kFileHeaderBytes);
    out += kFileHeaderBytes + BitmapInfoHeader::kBytes;
    for (const RgbQuad& entry : table) {
        entry.Pack(out);
        out += RgbQuad::kBytes;
    }

    FileAccess file;
    if (!file.OpenForWrite(path)) return 0;
    const bool ok = file.Write(head.data(), head.size()) && file.Write(image->Bits(), image->ImageSize());
    file.Close();
    return ok ? 1 : 0;
}

}  // namespace calidra
