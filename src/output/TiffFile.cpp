#include "output/TiffFile.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <tiffio.h>

#include "kernels/TiffSamples.h"
#include "output/WriterScratch.h"
#include "pipeline/DibImage.h"
#include "platform/File.h"

namespace calidra {

namespace {

// Claims every message of this handle, so libtiff neither prints it nor hands it
// to the handlers the client's process may have installed.
int Swallow(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// libtiff writes through the platform's File, so a wide path reaches the file
// system the same way as for every other file of ours. The File closes itself.
File& FileOf(thandle_t handle) { return *static_cast<File*>(handle); }
tmsize_t ReadThrough(thandle_t handle, void* buffer, tmsize_t size) {
    return size < 0 ? -1 : static_cast<tmsize_t>(FileOf(handle).Read(buffer, static_cast<std::size_t>(size)));
}
tmsize_t WriteThrough(thandle_t handle, void* buffer, tmsize_t size) {
    return size >= 0 && FileOf(handle).Write(buffer, static_cast<std::size_t>(size)) ? size : -1;
}
toff_t SeekThrough(thandle_t handle, toff_t offset, int whence) {
    File& file = FileOf(handle);
    const std::int64_t size = file.Size();
    const toff_t base = whence == SEEK_CUR   ? file.Position()
                        : whence == SEEK_END ? static_cast<toff_t>(size < 0 ? 0 : size)
                                             : 0;
    const toff_t to = base + offset;
    return file.Seek(to) ? to : static_cast<toff_t>(-1);
}
int CloseNothing(thandle_t) { return 0; }
toff_t SizeThrough(thandle_t handle) {
    const std::int64_t size = FileOf(handle).Size();
    return size < 0 ? 0 : static_cast<toff_t>(size);
}
int MapNothing(thandle_t, void**, toff_t*) { return 0; }
void UnmapNothing(thandle_t, void*, toff_t) {}

// All of an image of the given geometry, its lines bytesPerLine apart at pixels.
PixelRegion WholeRegion(const DibImage& like, std::uint8_t* pixels, std::size_t bytesPerLine) {
    PixelRegion region;
    region.width = like.Width();
    region.height = like.Height();
    region.bytesPerLine = static_cast<std::int32_t>(bytesPerLine);
    region.bitsPerPixel = like.BitCount();
    region.pixels = pixels;
    region.rect = {0, 0, like.Width(), like.Height()};
    return region;
}

}  // namespace

bool PrepareTiffStrip(const DibImage* image, TiffStrip& strip, WriterScratch& scratch) {
    if (image == nullptr || !image->HasPixels()) return false;
    const bool grey = image->BitCount() == 16;
    if (!grey && image->BitCount() != 24) return false;
    // TIFF rows carry no padding; DIB lines are padded to 4 bytes when the
    // width asks for it.
    const std::size_t rowBytes = static_cast<std::size_t>(image->Width()) * (image->BitCount() / 8);
    const std::size_t stripBytes = rowBytes * static_cast<std::size_t>(image->Height());
    std::uint8_t* bytes = scratch.Get(stripBytes);
    if (bytes == nullptr) return false;
    const PixelRegion to = WholeRegion(*image, bytes, rowBytes);
    const PixelRegion from = WholeRegion(*image, const_cast<std::uint8_t*>(image->Bits()), image->Stride());
    const KernelOptions standard;
    if (TiffSamples(&to, &from, &standard, 0, 0) != kKernelDone) return false;
    strip = {bytes, stripBytes, image->Width(), image->Height(), grey};
    return true;
}

int WriteTiffStrip(const wchar_t* path, const TiffStrip& strip) {
    if (path == nullptr || strip.bytes == nullptr) return 0;

    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return 0;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Swallow, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Swallow, nullptr);
    File file;
    if (!file.OpenForWrite(path)) return 0;
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFClientOpenExt("picture.tif", "w", &file, ReadThrough, WriteThrough,
                                                             SeekThrough, CloseNothing, SizeThrough, MapNothing,
                                                             UnmapNothing, options.get()));
    if (!tiff) return 0;

    TIFF* t = tiff.get();
    const bool grey = strip.grey;
    bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(strip.width)) == 1 &&
              TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(strip.height)) == 1 &&
              TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
              TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
              TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, grey ? 16 : 8) == 1 &&
              TIFFSetField(t, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) == 1 &&
              TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, grey ? 1 : 3) == 1 &&
              // Stated outright, so that every reader sees the whole image as one strip.
              TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(strip.height)) == 1;
    if (ok) {
        const auto bytes = static_cast<tmsize_t>(strip.size);
        // The call takes a writable buffer; it changes nothing in a strip
        // written uncompressed in the host's byte order.
        ok = TIFFWriteEncodedStrip(t, 0, const_cast<std::uint8_t*>(strip.bytes), bytes) == bytes;
    }
    // The directory is written here; a full disk shows up now rather than in
    // TIFFClose, which reports nothing.
    ok = ok && TIFFFlush(t) == 1;
    tiff.reset();
    return ok ? 1 : 0;
}

int WriteTiffFile(const wchar_t* path, const DibImage* image) {
    if (path == nullptr) return 0;
    TiffStrip strip;
    WriterScratch scratch;
    return PrepareTiffStrip(image, strip, scratch) ? WriteTiffStrip(path, strip) : 0;
}

}  // namespace calidra
