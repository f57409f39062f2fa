#include "GreyImageFile.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace calidra::tool {

namespace {

void PutBe32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void PutLe16(std::vector<unsigned char>& out, std::uint32_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

void PutLe32(std::vector<unsigned char>& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

std::uint32_t Crc32(const unsigned char* data, std::size_t size, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Adler32(const std::vector<unsigned char>& data) {
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& body) {
    PutBe32(out, static_cast<std::uint32_t>(body.size()));
    std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    PutBe32(out, Crc32(out.data() + start, out.size() - start));
}

bool WriteAll(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

}  // namespace

bool GreyImageFile::WritePng(const std::string& path, int width, int height, const std::vector<std::uint16_t>& pixels) {
    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    PutBe32(header, static_cast<std::uint32_t>(width));
    PutBe32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {16, 0, 0, 0, 0});  // 16-bit grey, deflate, adaptive filters, no interlace
    PutChunk(out, "IHDR", header);

    // Each row: filter type 0 (none), then big-endian samples.
    std::vector<unsigned char> rows;
    rows.reserve(std::size_t(height) * (1 + 2 * std::size_t(width)));
    for (int y = 0; y < height; ++y) {
        rows.push_back(0);
        for (int x = 0; x < width; ++x) {
            std::uint16_t sample = pixels[std::size_t(y) * width + x];
            rows.push_back(static_cast<unsigned char>(sample >> 8));
            rows.push_back(static_cast<unsigned char>(sample));
        }
    }
    // A zlib stream of stored deflate blocks: every reader takes it, and no
    // compressor is needed.
    std::vector<unsigned char> zlib = {0x78, 0x01};
    for (std::size_t at = 0; at < rows.size();) {
        std::size_t length = std::min<std::size_t>(65535, rows.size() - at);
        zlib.push_back(at + length == rows.size() ? 1 : 0);
        PutLe16(zlib, static_cast<std::uint32_t>(length));
        PutLe16(zlib, static_cast<std::uint32_t>(~length & 0xFFFF));
        zlib.insert(zlib.end(), rows.begin() + static_cast<std::ptrdiff_t>(at),
                    rows.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    PutBe32(zlib, Adler32(rows));
    PutChunk(out, "IDAT", zlib);
    PutChunk(out, "IEND", {});
    return WriteAll(path, out);
}

bool GreyImageFile::WriteTiff(const std::string& path, int width, int height,
                              const std::vector<std::uint16_t>& pixels) {
    struct Entry {
        std::uint16_t tag;
        std::uint16_t type;  // 3 SHORT, 4 LONG
        std::uint32_t value;
    };
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(pixels.size() * 2);
    const Entry entries[] = {
        {256, 4, static_cast<std::uint32_t>(width)},   // ImageWidth
        {257, 4, static_cast<std::uint32_t>(height)},  // ImageLength
        {258, 3, 16},                                  // BitsPerSample
        {259, 3, 1},                                   // Compression: none
        {262, 3, 1},                                   // PhotometricInterpretation: black is zero
        {273, 4, 0},                                   // StripOffsets, filled in below
        {277, 3, 1},                                   // SamplesPerPixel
        {278, 4, static_cast<std::uint32_t>(height)},  // RowsPerStrip: one strip
        {279, 4, pixelBytes},                          // StripByteCounts
        {284, 3, 1},                                   // PlanarConfiguration: contiguous
        {339, 3, 1},                                   // SampleFormat: unsigned integer
    };
    constexpr std::uint32_t kCount = sizeof entries / sizeof entries[0];
    const std::uint32_t dataOffset = 8 + 2 + kCount * 12 + 4;
    std::vector<unsigned char> out = {'I', 'I', 42, 0};
    PutLe32(out, 8);
    PutLe16(out, kCount);
    for (const Entry& entry : entries) {
        PutLe16(out, entry.tag);
        PutLe16(out, entry.type);
        PutLe32(out, 1);
        std::uint32_t value = entry.tag == 273 ? dataOffset : entry.value;
        // A SHORT value sits in the first two bytes of the value field.
        if (entry.type == 3) {
            PutLe16(out, value);
            PutLe16(out, 0);
        } else {
            PutLe32(out, value);
        }
    }
    PutLe32(out, 0);  // no further directory
    for (std::uint16_t sample : pixels) PutLe16(out, sample);
    return WriteAll(path, out);
}

}  // namespace calidra::tool
