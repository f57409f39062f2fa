// Still files and AVI appends: each save of the newest frame through the
// instance beside the encoder library called directly with the same settings on
// pixels prepared beforehand, and beside one plain write of as many bytes as
// the file holds, warm and cold.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SideBySide.h"
#include "calidra_sim.h"
#include "instance/CCalidra.h"
#include "output/AviWriter.h"

namespace calidra {
namespace {

// A directory of its own for the files, removed at exit. It lies in memory
// where the system offers a memory file system: on a disk, the write-back of
// the hundreds of megabytes a run writes stalls calls at random, and each
// figure here is a ratio of two calls made moments apart.
class BenchDirectory {
public:
    BenchDirectory() {
        std::error_code error;
        const std::filesystem::path memory("/dev/shm");
        const bool inMemory = std::filesystem::is_directory(memory, error) && access("/dev/shm", W_OK) == 0;
        path_ = (inMemory ? memory : std::filesystem::temp_directory_path()) /
                ("calidra-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(path_);
    }
    ~BenchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const char* name) const { return (path_ / name).string(); }
    static BenchDirectory& Shared() {
        static BenchDirectory directory;
        return directory;
    }

private:
    std::filesystem::path path_;
};

std::wstring Wide(const std::string& narrow) { return std::wstring(narrow.begin(), narrow.end()); }

double Median(std::vector<double>& values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// As bench::RunSideBySide, with counters named for files: the direct library
// call's time (library_us) and the plain write's (write_us), and the save's
// time over each (x_library, x_write); extra_us is what the save spends beyond
// the direct library call.
template <typename Kernel, typename Library, typename Write>
void RunFileSideBySide(benchmark::State& state, bool cold, Kernel kernel, Library library, Write write) {
    bench::CacheSweep& sweep = bench::CacheSweep::Shared();
    std::vector<double> kernelUs, libraryUs, writeUs;
    auto timed = [&](auto& call) {
        if (cold) sweep.Run();
        return bench::SecondsOf(call);
    };
    for (auto _ : state) {
        const double seconds = timed(kernel);
        state.SetIterationTime(seconds);
        kernelUs.push_back(seconds * 1e6);
        libraryUs.push_back(timed(library) * 1e6);
        writeUs.push_back(timed(write) * 1e6);
    }
    const double k = Median(kernelUs), l = Median(libraryUs), w = Median(writeUs);
    state.counters["p50_us"] = k;
    state.counters["library_us"] = l;
    state.counters["write_us"] = w;
    state.counters["extra_us"] = k - l;
    if (l > 0) state.counters["x_library"] = k / l;
    if (w > 0) state.counters["x_write"] = k / w;
}

// One plain POSIX write of a whole file.
bool PlainWrite(const std::string& path, const void* bytes, std::size_t count) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = write(fd, bytes, count) == static_cast<ssize_t>(count);
    return close(fd) == 0 && ok;
}

// libjpeg as its documentation shows it, on rows already in red, green, blue
// order and top row first.
bool DirectJpeg(const std::string& path, const std::vector<JSAMPROW>& rows, int width, int quality) {
    std::FILE* stream = std::fopen(path.c_str(), "wb");
    if (stream == nullptr) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, stream);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(rows.size());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    jpeg_write_scanlines(&cinfo, const_cast<JSAMPARRAY>(rows.data()), static_cast<JDIMENSION>(rows.size()));
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(stream) == 0;
}

// libpng with its defaults, on row pointers top row first.
bool DirectPng(const std::string& path, std::vector<png_bytep>& rows, int width, bool grey) {
    std::FILE* stream = std::fopen(path.c_str(), "wb");
    if (stream == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, stream);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(rows.size()), grey ? 16 : 8,
                 grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    if (grey) png_set_swap(png);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(stream) == 0;
}

// libtiff writing one uncompressed strip prepared beforehand.
bool DirectTiff(const std::string& path, std::vector<std::uint8_t>& strip, int width, int height, bool grey) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (tiff == nullptr) return false;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, grey ? 16 : 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, grey ? 1 : 3);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(height));
    const auto bytes = static_cast<tmsize_t>(strip.size());
    const bool ok = TIFFWriteEncodedStrip(tiff, 0, strip.data(), bytes) == bytes;
    TIFFClose(tiff);
    return ok;
}

// An instance holding one frame of the simulated scene, and that frame's
// pixels prepared as each encoder takes them.
struct StillData {
    StillData() {
        CalidraSim_Reset();
        instance = std::make_unique<CCalidra>();
        instance->Init(nullptr);
        // The first frame follows the default range; the second is coloured
        // with the range the first found, as a picture in a live stream is.
        ok = instance->OneShot() != 0 && instance->OneShot() != 0;
        const DibImage& colour = instance->CurrentColourImage();
        const DibImage& raw = instance->CurrentRawImage();
        width = colour.Width();
        height = colour.Height();
        if (!ok || !colour.HasPixels() || !raw.HasPixels()) return;
        rgb.resize(static_cast<std::size_t>(width) * height * 3);
        tiffGrey.resize(static_cast<std::size_t>(width) * height * 2);
        pngGrey.resize(static_cast<std::size_t>(width) * height);
        for (int k = 0; k < height; ++k) {
            const std::uint8_t* bgr = colour.Row(height - 1 - k);
            std::uint8_t* out = &rgb[static_cast<std::size_t>(k) * width * 3];
            for (int x = 0; x < width; ++x) {
                out[3 * x] = bgr[3 * x + 2];
                out[3 * x + 1] = bgr[3 * x + 1];
                out[3 * x + 2] = bgr[3 * x];
            }
            const auto* levels = reinterpret_cast<const std::uint16_t*>(raw.Row(height - 1 - k));
            for (int x = 0; x < width; ++x) {
                const auto scaled = static_cast<std::uint16_t>(levels[x] << 6);
                pngGrey[static_cast<std::size_t>(k) * width + x] = scaled;
                std::memcpy(&tiffGrey[(static_cast<std::size_t>(k) * width + x) * 2], &scaled, 2);
            }
            jpegRows.push_back(out);
            pngColourRows.push_back(const_cast<png_bytep>(colour.Row(height - 1 - k)));
        }
        for (int k = 0; k < height; ++k)
            pngGreyRows.push_back(reinterpret_cast<png_bytep>(&pngGrey[static_cast<std::size_t>(k) * width]));
    }
    static StillData& Shared() {
        static StillData data;
        return data;
    }
    std::unique_ptr<CCalidra> instance;
    bool ok = false;
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    std::vector<std::uint8_t> tiffGrey;
    std::vector<std::uint16_t> pngGrey;
    std::vector<JSAMPROW> jpegRows;
    std::vector<png_bytep> pngColourRows, pngGreyRows;
};

enum class Direct { kWrite, kJpeg100, kJpeg70, kJpeg20, kPngColour, kPngGrey, kTiffColour, kTiffGrey };

void BM_Save(benchmark::State& state, int type, Direct direct, bool cold) {
    StillData& data = StillData::Shared();
    if (!data.ok) return state.SkipWithError("no frame");
    const std::string path = BenchDirectory::Shared().File("still");
    const std::string referencePath = BenchDirectory::Shared().File("reference");
    const std::wstring widePath = Wide(path);
    CCalidra& instance = *data.instance;
    // The plain write moves as many bytes as the saved file holds.
    if (instance.Save(widePath.c_str(), type) != 1) return state.SkipWithError("the save failed");
    const auto fileBytes = static_cast<std::size_t>(std::filesystem::file_size(path));
    std::vector<std::uint8_t> bytes(fileBytes);
    for (std::size_t i = 0; i < fileBytes; ++i) bytes[i] = data.rgb[i % data.rgb.size()];
    auto tiffColour = data.rgb;
    auto tiffGrey = data.tiffGrey;

    bool failed = false;
    auto library = [&] {
        bool ok = true;
        switch (direct) {
            case Direct::kWrite:
                ok = PlainWrite(referencePath, bytes.data(), bytes.size());
                break;
            case Direct::kJpeg100:
                ok = DirectJpeg(referencePath, data.jpegRows, data.width, 100);
                break;
            case Direct::kJpeg70:
                ok = DirectJpeg(referencePath, data.jpegRows, data.width, 70);
                break;
            case Direct::kJpeg20:
                ok = DirectJpeg(referencePath, data.jpegRows, data.width, 20);
                break;
            case Direct::kPngColour:
                ok = DirectPng(referencePath, data.pngColourRows, data.width, false);
                break;
            case Direct::kPngGrey:
                ok = DirectPng(referencePath, data.pngGreyRows, data.width, true);
                break;
            case Direct::kTiffColour:
                ok = DirectTiff(referencePath, tiffColour, data.width, data.height, false);
                break;
            case Direct::kTiffGrey:
                ok = DirectTiff(referencePath, tiffGrey, data.width, data.height, true);
                break;
        }
        failed = failed || !ok;
    };
    RunFileSideBySide(
        state, cold, [&] { failed = failed || instance.Save(widePath.c_str(), type) != 1; }, library,
        [&] { failed = failed || !PlainWrite(referencePath, bytes.data(), bytes.size()); });
    if (failed) state.SkipWithError("a write failed");
}

// Appending one frame to an open AVI file, beside the two plain writes of a
// chunk (its 8-byte head, then the pixels) and one write of the same bytes.
// Every few dozen frames the files start again, so they stay small.
void BM_AviAppend(benchmark::State& state, bool cold) {
    StillData& data = StillData::Shared();
    if (!data.ok) return state.SkipWithError("no frame");
    const DibImage& colour = data.instance->CurrentColourImage();
    const std::string aviPath = BenchDirectory::Shared().File("append.avi");
    const std::string rawPath = BenchDirectory::Shared().File("append.raw");
    const std::wstring wideAvi = Wide(aviPath);
    AviWriter writer;
    const std::size_t chunkBytes = colour.ImageSize() + 8;
    std::vector<std::uint8_t> chunk(chunkBytes);
    std::memcpy(chunk.data(), "00db", 4);
    const auto frameSize = static_cast<std::uint32_t>(colour.ImageSize());
    std::memcpy(chunk.data() + 4, &frameSize, 4);
    std::memcpy(chunk.data() + 8, colour.Bits(), colour.ImageSize());
    int fd = -1;
    int appended = 0;
    auto restart = [&] {
        if (fd >= 0) close(fd);
        fd = open(rawPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        writer.Open(wideAvi.c_str(), colour.Width(), colour.Height(), 24, 30);
        appended = 0;
    };
    restart();
    bool failed = false;
    bench::CacheSweep& sweep = bench::CacheSweep::Shared();
    std::vector<double> kernelUs, libraryUs, writeUs;
    auto timed = [&](auto&& call) {
        if (appended >= 32) restart();
        if (cold) sweep.Run();
        return bench::SecondsOf(call) * 1e6;
    };
    for (auto _ : state) {
        const double us = timed([&] { failed = failed || !writer.AppendFrame(colour.Bits()); });
        ++appended;
        state.SetIterationTime(us * 1e-6);
        kernelUs.push_back(us);
        libraryUs.push_back(timed([&] {
            failed = failed || write(fd, chunk.data(), 8) != 8 ||
                     write(fd, colour.Bits(), colour.ImageSize()) != static_cast<ssize_t>(colour.ImageSize());
        }));
        writeUs.push_back(
            timed([&] { failed = failed || write(fd, chunk.data(), chunkBytes) != static_cast<ssize_t>(chunkBytes); }));
    }
    writer.Close();
    if (fd >= 0) close(fd);
    const double k = Median(kernelUs), l = Median(libraryUs), w = Median(writeUs);
    state.counters["p50_us"] = k;
    state.counters["library_us"] = l;
    state.counters["write_us"] = w;
    if (l > 0) state.counters["x_library"] = k / l;
    if (w > 0) state.counters["x_write"] = k / w;
    if (failed) state.SkipWithError("a write failed");
}

// Slow encoders get fewer calls, so that a run of repetitions stays short.
const bool kRegistered = [] {
    struct Still {
        const char* name;
        int type;
        Direct direct;
        int iterations;
    };
    const Still stills[] = {
        {"bitmap", 0, Direct::kWrite, 100},          {"colour_bytes", 1, Direct::kWrite, 100},
        {"jpeg100", 2, Direct::kJpeg100, 12},        {"jpeg70", 3, Direct::kJpeg70, 20},
        {"jpeg20", 4, Direct::kJpeg20, 20},          {"png_colour", 5, Direct::kPngColour, 4},
        {"tiff_colour", 6, Direct::kTiffColour, 60}, {"raw_bytes", 7, Direct::kWrite, 100},
        {"png_grey", 8, Direct::kPngGrey, 4},        {"tiff_grey", 9, Direct::kTiffGrey, 60},
        {"temperature_s8", 10, Direct::kWrite, 60},  {"temperature_u8", 11, Direct::kWrite, 60},
        {"temperature_i32", 12, Direct::kWrite, 60}, {"temperature_f32", 13, Direct::kWrite, 60},
    };
    for (bool cold : {false, true}) {
        for (const Still& still : stills) {
            std::string name = "BM_Save/";
            name.append(still.name).append(cold ? "_cold" : "_warm");
            const int iterations = cold ? std::max(4, still.iterations / 2) : still.iterations;
            benchmark::RegisterBenchmark(name.c_str(), BM_Save, still.type, still.direct, cold)
                ->UseManualTime()
                ->Unit(benchmark::kMicrosecond)
                ->Iterations(iterations);
        }
        benchmark::RegisterBenchmark(cold ? "BM_AviAppend/cold" : "BM_AviAppend/warm", BM_AviAppend, cold)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(cold ? 30 : 120);
    }
    return true;
}();

}  // namespace
}  // namespace calidra
