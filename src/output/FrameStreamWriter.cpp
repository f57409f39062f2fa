#include "output/FrameStreamWriter.h"

#include <cstring>
#include <new>

#include "pipeline/DibImage.h"
#include "pipeline/ThermoTable.h"
#include "platform/LittleEndian.h"

namespace calidra {

bool FrameStreamWriter::Open(const wchar_t* path, Content content, std::int32_t width, std::int32_t height) {
    Close();
    if (path == nullptr) return false;
    content_ = content;
    if (content == Content::kTemperatures) {
        if (width <= 0 || height <= 0) return false;
        try {
            buffer_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        } catch (const std::bad_alloc&) {
            return false;
        }
        width_ = width;
        height_ = height;
    }
    if (!file_.OpenForWrite(path)) {
        Close();
        return false;
    }
    return true;
}

void FrameStreamWriter::Close() {
    file_.Close();
    writeFailed_ = false;
    std::vector<std::uint8_t>().swap(buffer_);
    width_ = 0;
    height_ = 0;
}

bool FrameStreamWriter::Append(const DibImage* raw, const ThermoTable* thermo, bool flip) {
    if (!IsOpen() || raw == nullptr || !raw->HasPixels() || raw->BitCount() != 16) return false;
    if (content_ == Content::kRawLevels) return AppendLevels(*raw, flip);
    if (thermo == nullptr || raw->Width() != width_ || raw->Height() != height_) return false;
    return AppendTemperatures(*raw, *thermo, flip);
}

bool FrameStreamWriter::WriteFrame(const void* bytes, std::size_t count) {
    const std::uint64_t start = file_.FilePosition();
    if (file_.Write(bytes, count)) return true;
    writeFailed_ = true;
    // Readers count frames by the file's size: a frame the medium took only in
    // part must not stay.
    file_.Truncate(start);
    file_.Seek(start);
    return false;
}

bool FrameStreamWriter::AppendLevels(const DibImage& raw, bool flip) {
    if (!flip) return WriteFrame(raw.Bits(), raw.ImageSize());
    try {
        buffer_.resize(raw.ImageSize());
    } catch (const std::bad_alloc&) {
        return false;
    }
    const auto stride = static_cast<std::size_t>(raw.Stride());
    const std::int32_t height = raw.Height();
    for (std::int32_t k = 0; k < height; ++k) {
        std::memcpy(buffer_.data() + stride * static_cast<std::size_t>(k), raw.Row(height - 1 - k), stride);
    }
    return WriteFrame(buffer_.data(), buffer_.size());
}

bool FrameStreamWriter::AppendTemperatures(const DibImage& raw, const ThermoTable& thermo, bool flip) {
    std::uint8_t* out = buffer_.data();
    for (std::int32_t k = 0; k < height_; ++k) {
        const std::uint8_t* line = raw.Row(flip ? height_ - 1 - k : k);
        for (std::int32_t x = 0; x < width_; ++x) {
            PutLEFloat(out, thermo.TemperatureOf(GetLE16(line + 2 * x)));
            out += 4;
        }
    }
    return WriteFrame(buffer_.data(), buffer_.size());
}

}  // namespace calidra
