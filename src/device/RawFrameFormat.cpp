#include "device/RawFrameFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace calidra {

namespace {

constexpr int kOk = 0;
constexpr int kInvalidRegion = 5;
constexpr int kNoBuffer = 14;

std::uint8_t ToByte(double value) { return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)); }

// BT.601 studio range: luma 16 to 235, chroma differences centred on 0.
void LumaChromaToBgr(int luma, int cb, int cr, std::uint8_t* out) {
    const double y = 1.164 * (luma - 16);
    out[0] = ToByte(y + 2.018 * cb);
    out[1] = ToByte(y - 0.813 * cr - 0.391 * cb);
    out[2] = ToByte(y + 1.596 * cr);
}

int ChromaOf(const std::uint8_t* line, std::int64_t column, std::int64_t width) {
    if (column >= width) return 0;
    return static_cast<std::int8_t>(line[2 * column + 1]);
}

bool ValidLayout(const FrameLayout& layout) {
    return layout.linePitch >= 1 && layout.startOffset >= 0 && layout.firstLine >= 0 && layout.lineCount >= 0 &&
           layout.outputWidth >= 0 && layout.totalLines >= 0 && layout.secondFieldLine >= 0 &&
           layout.fieldStart[0] >= 0 && layout.fieldStart[1] >= 0;
}

}  // namespace

FrameLayout FrameLayout::ForWindow(std::int32_t width, std::int32_t height, bool sixteenBit) {
    FrameLayout layout;
    layout.linePitch = width;
    layout.outputWidth = width;
    layout.lineCount = height;
    layout.sixteenBit = sixteenBit;
    return layout;
}

int CopyRawFrame(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source, const FrameLayout& layout) {
    if (!ValidLayout(layout)) return kInvalidRegion;
    const std::uint64_t bytes =
        std::uint64_t(layout.outputWidth) * std::uint64_t(layout.lineCount) * layout.BytesPerValue();
    if (destination.data() == nullptr || source.data() == nullptr) return kNoBuffer;
    if (destination.size() < bytes || source.size() < bytes) return kNoBuffer;
    std::memcpy(destination.data(), source.data(), static_cast<std::size_t>(bytes));
    return kOk;
}

int ConvertRegion(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source, int colour,
                  std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, const FrameLayout& layout) {
    if (!ValidLayout(layout)) return kInvalidRegion;
    const std::int64_t width = std::int64_t{x1} - x0 + 1;
    const std::int64_t height = std::int64_t{y1} - y0 + 1;
    if (width < 1 || width > layout.linePitch || height < 1 || height > layout.totalLines) return kInvalidRegion;
    // Beyond the width and height bounds, the corners themselves must lie inside
    // the lines: otherwise a narrow rectangle far right would read past them.
    if (x0 < 0 || x1 >= layout.linePitch || y0 < 0 || y1 >= layout.totalLines) return kInvalidRegion;
    if (destination.data() == nullptr || source.data() == nullptr) return kNoBuffer;

    const std::size_t valueBytes = colour != 0 ? 2 : 1;
    const std::uint64_t needSource =
        (std::uint64_t(layout.startOffset) + (std::uint64_t(y1) + 1) * std::uint64_t(layout.linePitch)) * valueBytes;
    const std::uint64_t needDestination = std::uint64_t(width) * std::uint64_t(height) * 3;
    if (source.size() < needSource || destination.size() < needDestination) return kNoBuffer;

    std::uint8_t* out = destination.data();
    for (std::int64_t y = y0; y <= y1; ++y) {
        const std::uint8_t* line =
            source.data() + (std::uint64_t(layout.startOffset) + std::uint64_t(y) * layout.linePitch) * valueBytes;
        for (std::int64_t x = x0; x <= x1; ++x, out += 3) {
            if (colour == 0) {
                out[0] = out[1] = out[2] = line[x];
                continue;
            }
            const std::int64_t even = x & ~std::int64_t{1};
            const int cb = ChromaOf(line, even, layout.linePitch);
            const int cr = ChromaOf(line, even + 1, layout.linePitch);
            LumaChromaToBgr(line[2 * x], cb, cr, out);
        }
    }
    return kOk;
}

int ConvertFrame(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source, int colour,
                 const FrameLayout& layout) {
    return ConvertRegion(destination, source, colour, 0, 0, layout.outputWidth - 1, layout.lineCount - 1, layout);
}

int CopyLines(std::span<std::uint8_t> destination, std::span<const std::uint8_t> source, const FrameLayout& layout) {
    if (!ValidLayout(layout)) return kInvalidRegion;
    if (destination.data() == nullptr || source.data() == nullptr) return kNoBuffer;
    const std::uint64_t valueBytes = layout.BytesPerValue();
    const std::uint64_t lineBytes = std::uint64_t(layout.outputWidth) * valueBytes;
    if (destination.size() < lineBytes * std::uint64_t(layout.lineCount)) return kNoBuffer;
    const auto sourceByte = [&](std::int32_t line) {
        std::uint64_t firstPixel;
        if (layout.interlaced) {
            const int field = line % 2;
            const std::uint64_t fieldFirst = field == 0 ? layout.firstLine : layout.secondFieldLine;
            firstPixel = std::uint64_t(layout.fieldStart[field]) + (fieldFirst + line / 2) * layout.linePitch;
        } else {
            firstPixel =
                std::uint64_t(layout.startOffset) + (std::uint64_t(layout.firstLine) + line) * layout.linePitch;
        }
        return firstPixel * valueBytes;
    };
    // Every line is checked before the first is copied, so a refused copy leaves
    // the destination untouched.
    for (std::int32_t i = 0; i < layout.lineCount; ++i) {
        const std::uint64_t from = sourceByte(i);
        if (from > source.size() || lineBytes > source.size() - from) return kNoBuffer;
    }
    for (std::int32_t i = 0; i < layout.lineCount; ++i) {
        std::memcpy(destination.data() + i * lineBytes, source.data() + sourceByte(i),
                    static_cast<std::size_t>(lineBytes));
    }
    return kOk;
}

}  // namespace calidra
