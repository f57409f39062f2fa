#include "output/TiffFile.h"

#include <cstdarg>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

#include "kernels/TiffSamples.h"
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

}  // namespace

int WriteTiffFile(const wchar_t* path, const DibImage* image) {
    if (path == nullptr || image == nullptr || !image->HasPixels()) return 0;
    const bool grey = image->BitCount() == 16;
    if (!grey && image->BitCount() != 24) return 0;
    const std::string narrow = File::SystemPath(path);
    if (narrow.empty()) return 0;

    DibImage strip;
    if (!strip.CreateLike(image) || strip.ApplyKernel(TiffSamples, image) != kKernelDone) return 0;

    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return 0;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Swallow, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Swallow, nullptr);
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpenExt(narrow.c_str(), "w", options.get()));
    if (!tiff) return 0;

    TIFF* t = tiff.get();
    bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(image->Width())) == 1 &&
              TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(image->Height())) == 1 &&
              TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
              TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
              TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, grey ? 16 : 8) == 1 &&
              TIFFSetField(t, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) == 1 &&
              TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, grey ? 1 : 3) == 1 &&
              // Stated outright, so that every reader sees the whole image as one strip.
              TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(image->Height())) == 1;
    if (ok) {
        // TIFF rows carry no padding; DIB lines are padded to 4 bytes when the
        // width asks for it.
        const std::size_t rowBytes = static_cast<std::size_t>(image->Width()) * (image->BitCount() / 8);
        std::vector<std::uint8_t> packed;
        const std::uint8_t* data = strip.Bits();
        if (rowBytes != static_cast<std::size_t>(strip.Stride())) {
            packed.resize(rowBytes * static_cast<std::size_t>(strip.Height()));
            for (std::int32_t line = 0; line < strip.Height(); ++line) {
                std::memcpy(packed.data() + rowBytes * static_cast<std::size_t>(line), strip.Row(line), rowBytes);
            }
            data = packed.data();
        }
        const auto bytes = static_cast<tmsize_t>(rowBytes * static_cast<std::size_t>(strip.Height()));
        ok = TIFFWriteEncodedStrip(t, 0, const_cast<std::uint8_t*>(data), bytes) == bytes;
    }
    // The directory is written here; a full disk shows up now rather than in
    // TIFFClose, which reports nothing.
    ok = ok && TIFFFlush(t) == 1;
    tiff.reset();
    return ok ? 1 : 0;
}

}  // namespace calidra
