// A correction-data file of any bytes. The loader reads from a path, so each
// input is written to a scratch file first (put TMPDIR on a memory file
// system: a whole file is nearly 10 MB).
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "device/CorrectionPlanes.h"
#include "device/SensorFrame.h"
#include "output/CorrectionFile.h"

namespace {

// Planes the loader must leave exactly as they were when it refuses a file.
constexpr std::int32_t kUntouchedTag = 0x5EED;

// One scratch file per process, so parallel jobs never share one; removed at exit.
class ScratchFile {
public:
    ScratchFile() {
        std::error_code error;
        std::filesystem::path dir = std::filesystem::temp_directory_path(error);
        if (error) dir = ".";
        path_ = dir / ("calidra-fuzz-" + std::to_string(std::random_device{}()) + ".corset");
    }
    ~ScratchFile() {
        std::error_code error;
        std::filesystem::remove(path_, error);
    }
    bool Write(const std::uint8_t* data, std::size_t size) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return static_cast<bool>(out);
    }
    std::wstring Path() const { return path_.wstring(); }

private:
    std::filesystem::path path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calidra;
    static ScratchFile scratch;
    if (size >= 16) {
        const int version = CorrectionFileVersion(data);
        if (version > 99999 || version < -99999) __builtin_trap();
    }
    if (!scratch.Write(data, size)) return 0;

    CorrectionPlanes planes;
    planes.SetTagValue(kUntouchedTag);
    const std::wstring path = scratch.Path();
    if (LoadCorrectionFile(planes, path.c_str()) != 1) {
        if (planes.HasPlanes() || planes.TagValue() != kUntouchedTag) __builtin_trap();
        return 0;
    }
    for (int plane = 0; plane < CorrectionPlanes::kPlaneCount; ++plane) {
        if (planes.Values(static_cast<CorrectionPlanes::Plane>(plane)).size() != kFramePixels) __builtin_trap();
    }
    return 0;
}
