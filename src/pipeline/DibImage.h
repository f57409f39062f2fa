// The image buffer of every picture the library holds: a bottom-up
// device-independent bitmap (its 40-byte header, its geometry, its pixel memory
// and, for 8-bit images, a 256-entry colour table).
//
// Layout: stored line r starts at Bits() + r * Stride(); line 0 is the
// picture's bottom row, as in a .bmp file. Stride() is width * bytes per pixel
// rounded up to a multiple of 4. 16-bit pixels are one unsigned little-endian
// value, 24-bit pixels are blue, green, red. The image owns its memory; Bits()
// stays valid until the image is created again, released, moved from or
// destroyed. There is no lock: the owner serialises access.
//
// States: empty (no pixels, all sizes 0, header size 40); made by Create or
// CreateLike; memory only (made by CreateInMemory). Both made states behave
// alike here; CopyFrom keeps a memory-only source memory-only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pipeline/BitmapInfoHeader.h"
#include "pipeline/PixelRegion.h"

namespace calidra {

class DibImage {
public:
    // SetColorTable modes.
    static constexpr int kGreyRamp = 0;
    static constexpr int kGivenEntries = 2;
    static constexpr int kColorTableEntries = 256;

    DibImage() = default;
    // An empty image, then CopyFrom(&source).
    DibImage(const DibImage& source);
    // CopyFrom(&source); this image is left empty when that fails.
    DibImage& operator=(const DibImage& source);
    // The moved-from image is left empty.
    DibImage(DibImage&& other) noexcept;
    DibImage& operator=(DibImage&& other) noexcept;
    ~DibImage() = default;

    // Releases what the image held and makes a zeroed image; an 8-bit image gets
    // the grey ramp as its colour table. false, with the image unchanged, when
    // width or height is not positive or bitsPerPixel is not 8, 16, 24 or 32
    // (the depths the rest of the library knows), or when the pixels would
    // exceed 2 GiB; false, with the image empty, when memory runs out.
    bool Create(std::int32_t width, std::int32_t height, int bitsPerPixel);
    // As Create, marking the image memory only.
    bool CreateInMemory(std::int32_t width, std::int32_t height, int bitsPerPixel);
    // A zeroed image with the source's whole header, geometry and (8-bit)
    // colour table. false for a null or empty source.
    bool CreateLike(const DibImage* source);
    // This image becomes a copy of source: header, pixels and colour table. A
    // memory-only source gives a memory-only copy. false for a null or empty
    // source or when memory runs out; copying an image onto itself changes
    // nothing (true when it holds pixels).
    bool CopyFrom(const DibImage* source);
    // Back to the empty state; always 0.
    int Release();

    // kGreyRamp: entry i becomes (red i, green i, blue i). kGivenEntries: count
    // entries from entries go to firstIndex onwards (clipped to the table). Acts
    // only on an 8-bit image; any other mode does nothing. Always true.
    bool SetColorTable(int mode, const RgbQuad* entries = nullptr, int firstIndex = 0, int count = 0);

    // Copies the sourceRect part of source (all of it when null) to column x,
    // line y of this image. Coordinates are stored lines, with no turning over.
    // What falls outside either image is left out. false when either image has
    // no pixels or their depths differ (there is no conversion); true
    // otherwise, even when nothing overlaps. source may be this image.
    bool Draw(const DibImage* source, const PixelRect* sourceRect, std::int32_t x, std::int32_t y);

    // No kernel: 1. Otherwise the kernel's status for this image as
    // destination and source (null for none), each region covering its
    // rectangle or the whole image; null options pass the default block
    // {12, 1, 0}.
    int ApplyKernel(PixelKernel kernel, const DibImage* source = nullptr, const KernelOptions* options = nullptr,
                    const PixelRect* destinationRect = nullptr, const PixelRect* sourceRect = nullptr, int a = 0,
                    int b = 0);

    // Stride() * Height() bytes holding the stored lines last first (the
    // picture's top row first); empty when the image has no pixels or memory
    // runs out.
    std::vector<std::uint8_t> ReversedRows() const;

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    std::uint16_t BitCount() const { return bitsPerPixel_; }
    // Bytes per stored line.
    std::int32_t Stride() const { return bytesPerLine_; }
    // Stride() * Height().
    std::size_t ImageSize() const { return pixels_.size(); }
    bool HasPixels() const { return !pixels_.empty(); }
    bool IsMemoryOnly() const { return memoryOnly_; }
    // The first byte of stored line 0; null when empty.
    std::uint8_t* Bits() { return pixels_.empty() ? nullptr : pixels_.data(); }
    const std::uint8_t* Bits() const { return pixels_.empty() ? nullptr : pixels_.data(); }
    // Stored line r, or null when r is outside the image.
    std::uint8_t* Row(std::int32_t r);
    const std::uint8_t* Row(std::int32_t r) const;
    const BitmapInfoHeader& Header() const { return header_; }
    // 256 entries for an 8-bit image, none otherwise.
    std::span<const RgbQuad> ColorTable() const;

    // Entry i = (red i, green i, blue i, reserved 0).
    static const std::array<RgbQuad, kColorTableEntries>& GreyRamp();

private:
    // zeroed false leaves the pixels to the caller, who writes every byte.
    bool Make(const BitmapInfoHeader& header, bool memoryOnly, bool zeroed = true);
    PixelRegion RegionOf(const PixelRect* rect) const;

    BitmapInfoHeader header_;
    std::vector<std::uint8_t> pixels_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t bytesPerLine_ = 0;
    std::uint16_t bitsPerPixel_ = 0;
    bool memoryOnly_ = false;
    std::array<RgbQuad, kColorTableEntries> colorTable_{};
};

}  // namespace calidra
