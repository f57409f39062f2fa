#include "pipeline/DibImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace calidra {

namespace {

// Bytes per line for a usable geometry, or 0. Depths below 8 bits would give
// lines without bytes, so only whole-byte depths are made; the pixels must stay
// addressable with 32-bit sizes, as the file writers count them.
std::int32_t LineBytes(std::int64_t width, std::int64_t height, int bitsPerPixel) {
    if (width <= 0 || height <= 0) return 0;
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return 0;
    std::int64_t line = (width * (bitsPerPixel / 8) + 3) / 4 * 4;
    if (line * height > std::numeric_limits<std::int32_t>::max()) return 0;
    return static_cast<std::int32_t>(line);
}

BitmapInfoHeader FreshHeader(std::int32_t width, std::int32_t height, int bitsPerPixel) {
    BitmapInfoHeader header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
    return header;
}

}  // namespace

DibImage::DibImage(const DibImage& source) { CopyFrom(&source); }

// Assigning an empty image empties this one, as assignment should.
DibImage& DibImage::operator=(const DibImage& source) {
    if (this != &source && !CopyFrom(&source)) Release();
    return *this;
}

DibImage::DibImage(DibImage&& other) noexcept
    : header_(other.header_),
      pixels_(std::move(other.pixels_)),
      width_(other.width_),
      height_(other.height_),
      bytesPerLine_(other.bytesPerLine_),
      bitsPerPixel_(other.bitsPerPixel_),
      memoryOnly_(other.memoryOnly_),
      colorTable_(other.colorTable_) {
    other.Release();
}

DibImage& DibImage::operator=(DibImage&& other) noexcept {
    if (this != &other) {
        header_ = other.header_;
        pixels_ = std::move(other.pixels_);
        width_ = other.width_;
        height_ = other.height_;
        bytesPerLine_ = other.bytesPerLine_;
        bitsPerPixel_ = other.bitsPerPixel_;
        memoryOnly_ = other.memoryOnly_;
        colorTable_ = other.colorTable_;
        other.Release();
    }
    return *this;
}

const std::array<RgbQuad, DibImage::kColorTableEntries>& DibImage::GreyRamp() {
    static const std::array<RgbQuad, kColorTableEntries> ramp = [] {
        std::array<RgbQuad, kColorTableEntries> entries{};
        for (int i = 0; i < kColorTableEntries; ++i) {
            auto level = static_cast<std::uint8_t>(i);
            entries[i] = RgbQuad{level, level, level, 0};
        }
        return entries;
    }();
    return ramp;
}

bool DibImage::Make(const BitmapInfoHeader& header, bool memoryOnly, bool zeroed) {
    std::int32_t line = LineBytes(header.biWidth, header.biHeight, header.biBitCount);
    if (line == 0) return false;
    const std::size_t bytes = static_cast<std::size_t>(line) * static_cast<std::size_t>(header.biHeight);
    // Memory of the same size is kept: a fresh picture's pages cost more to map
    // and clear than writing it does (an image re-made for every save or frame).
    if (pixels_.size() == bytes) {
        if (zeroed) std::fill(pixels_.begin(), pixels_.end(), std::uint8_t{0});
        colorTable_ = {};
    } else {
        Release();
        try {
            pixels_.assign(bytes, 0);
        } catch (const std::bad_alloc&) {
            Release();
            return false;
        }
    }
    header_ = header;
    width_ = header.biWidth;
    height_ = header.biHeight;
    bytesPerLine_ = line;
    bitsPerPixel_ = header.biBitCount;
    memoryOnly_ = memoryOnly;
    return true;
}

bool DibImage::Create(std::int32_t width, std::int32_t height, int bitsPerPixel) {
    if (!Make(FreshHeader(width, height, bitsPerPixel), false)) return false;
    SetColorTable(kGreyRamp);
    return true;
}

// A memory-only image has no colour table where bitmaps are held by the window
// system; here it gets the grey ramp too, so that any 8-bit image can be written
// with a usable table.
bool DibImage::CreateInMemory(std::int32_t width, std::int32_t height, int bitsPerPixel) {
    if (!Make(FreshHeader(width, height, bitsPerPixel), true)) return false;
    SetColorTable(kGreyRamp);
    return true;
}

bool DibImage::CreateLike(const DibImage* source) {
    if (source == nullptr || !source->HasPixels()) return false;
    // Copies first: source may be this image, which Make releases.
    BitmapInfoHeader header = source->header_;
    std::array<RgbQuad, kColorTableEntries> table = source->colorTable_;
    if (!Make(header, false)) return false;
    SetColorTable(kGivenEntries, table.data(), 0, kColorTableEntries);
    return true;
}

bool DibImage::CopyFrom(const DibImage* source) {
    if (source == nullptr) return false;
    if (source == this) return HasPixels();
    if (source->HasPixels() && source->memoryOnly_) {
        if (!CreateInMemory(source->width_, source->height_, source->bitsPerPixel_)) return false;
        std::memcpy(pixels_.data(), source->pixels_.data(), pixels_.size());
        SetColorTable(kGivenEntries, source->colorTable_.data(), 0, kColorTableEntries);
        return true;
    }
    if (!source->HasPixels()) return false;
    const bool padded = static_cast<std::size_t>(source->bytesPerLine_) * 8 !=
                        static_cast<std::size_t>(source->width_) * source->bitsPerPixel_;
    if (padded) {
        // The line ends stay zero, whatever the source holds there.
        if (!CreateLike(source)) return false;
        return Draw(source, nullptr, 0, 0);
    }
    // Every byte is copied over, so nothing needs clearing first.
    if (!Make(source->header_, false, false)) return false;
    std::memcpy(pixels_.data(), source->pixels_.data(), pixels_.size());
    SetColorTable(kGivenEntries, source->colorTable_.data(), 0, kColorTableEntries);
    return true;
}

int DibImage::Release() {
    std::vector<std::uint8_t>().swap(pixels_);
    header_ = BitmapInfoHeader{};
    width_ = 0;
    height_ = 0;
    bytesPerLine_ = 0;
    bitsPerPixel_ = 0;
    memoryOnly_ = false;
    colorTable_ = {};
    return 0;
}

bool DibImage::SetColorTable(int mode, const RgbQuad* entries, int firstIndex, int count) {
    if (bitsPerPixel_ != 8 || !HasPixels()) return true;
    if (mode == kGreyRamp) {
        colorTable_ = GreyRamp();
    } else if (mode == kGivenEntries && entries != nullptr && firstIndex >= 0 && firstIndex < kColorTableEntries &&
               count > 0) {
        int last = std::min(kColorTableEntries, firstIndex + std::min(count, kColorTableEntries));
        std::copy(entries, entries + (last - firstIndex), colorTable_.begin() + firstIndex);
    }
    return true;
}

bool DibImage::Draw(const DibImage* source, const PixelRect* sourceRect, std::int32_t x, std::int32_t y) {
    if (source == nullptr || !HasPixels() || !source->HasPixels() || source->bitsPerPixel_ != bitsPerPixel_) {
        return false;
    }
    std::int64_t left = 0, top = 0, width = source->width_, height = source->height_;
    if (sourceRect != nullptr) {
        left = sourceRect->left;
        top = sourceRect->top;
        width = std::int64_t{sourceRect->right} - sourceRect->left;
        height = std::int64_t{sourceRect->bottom} - sourceRect->top;
    }
    std::int64_t toX = x, toY = y;
    // Clip to the source, then to this image, moving both corners together.
    if (left < 0) {
        toX -= left;
        width += left;
        left = 0;
    }
    if (top < 0) {
        toY -= top;
        height += top;
        top = 0;
    }
    width = std::min(width, source->width_ - left);
    height = std::min(height, source->height_ - top);
    if (toX < 0) {
        left -= toX;
        width += toX;
        toX = 0;
    }
    if (toY < 0) {
        top -= toY;
        height += toY;
        toY = 0;
    }
    width = std::min(width, width_ - toX);
    height = std::min(height, height_ - toY);
    if (width <= 0 || height <= 0) return true;

    const std::size_t pixelBytes = bitsPerPixel_ / 8;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * pixelBytes;
    auto copyLine = [&](std::int64_t i) {
        const std::uint8_t* from = source->pixels_.data() +
                                   static_cast<std::size_t>(top + i) * static_cast<std::size_t>(source->bytesPerLine_) +
                                   static_cast<std::size_t>(left) * pixelBytes;
        std::uint8_t* to = pixels_.data() +
                           static_cast<std::size_t>(toY + i) * static_cast<std::size_t>(bytesPerLine_) +
                           static_cast<std::size_t>(toX) * pixelBytes;
        std::memmove(to, from, rowBytes);
    };
    // Within one image the lines are taken in the order that never reads a line
    // already overwritten.
    if (source == this && toY > top) {
        for (std::int64_t i = height - 1; i >= 0; --i) copyLine(i);
    } else {
        for (std::int64_t i = 0; i < height; ++i) copyLine(i);
    }
    return true;
}

PixelRegion DibImage::RegionOf(const PixelRect* rect) const {
    PixelRegion region;
    region.width = width_;
    region.height = height_;
    region.bytesPerLine = bytesPerLine_;
    region.bitsPerPixel = bitsPerPixel_;
    // The region type serves destination and source alike; kernels only read
    // through a source region.
    region.pixels = const_cast<std::uint8_t*>(Bits());
    region.rect = rect != nullptr ? *rect : PixelRect{0, 0, width_, height_};
    return region;
}

int DibImage::ApplyKernel(PixelKernel kernel, const DibImage* source, const KernelOptions* options,
                          const PixelRect* destinationRect, const PixelRect* sourceRect, int a, int b) {
    if (kernel == nullptr) return 1;
    const KernelOptions defaults;
    PixelRegion destination = RegionOf(destinationRect);
    PixelRegion sourceRegion;
    if (source != nullptr) sourceRegion = source->RegionOf(sourceRect);
    return kernel(&destination, source != nullptr ? &sourceRegion : nullptr, options != nullptr ? options : &defaults,
                  a, b);
}

std::vector<std::uint8_t> DibImage::ReversedRows() const {
    std::vector<std::uint8_t> reversed;
    if (!HasPixels()) return reversed;
    try {
        reversed.resize(pixels_.size());
    } catch (const std::bad_alloc&) {
        return {};
    }
    const auto line = static_cast<std::size_t>(bytesPerLine_);
    for (std::int32_t k = 0; k < height_; ++k) {
        std::memcpy(reversed.data() + static_cast<std::size_t>(k) * line,
                    pixels_.data() + static_cast<std::size_t>(height_ - 1 - k) * line, line);
    }
    return reversed;
}

std::uint8_t* DibImage::Row(std::int32_t r) {
    if (!HasPixels() || r < 0 || r >= height_) return nullptr;
    return pixels_.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(bytesPerLine_);
}

const std::uint8_t* DibImage::Row(std::int32_t r) const {
    if (!HasPixels() || r < 0 || r >= height_) return nullptr;
    return pixels_.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(bytesPerLine_);
}

std::span<const RgbQuad> DibImage::ColorTable() const {
    if (bitsPerPixel_ != 8 || !HasPixels()) return {};
    return {colorTable_.data(), colorTable_.size()};
}

}  // namespace calidra
