#include "driver/SimEnvironment.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "driver/SceneGenerator.h"
#include "driver/VirtualDriver.h"
#include "platform/LittleEndian.h"

namespace calidra::sim {

namespace {

constexpr double kMaxFramesPerSecond = 1000.0;

std::optional<double> ParseRate(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size()) return std::nullopt;
    if (!(value >= 0.0 && value <= kMaxFramesPerSecond)) return std::nullopt;
    return value;
}

std::optional<std::vector<bool>> ParseCameras(const std::string& text) {
    std::vector<bool> present(VirtualDriver::kCameraCount, false);
    if (text == "none") return present;
    std::size_t start = 0;
    while (true) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.size() != 1 || item[0] < '0' || item[0] >= '0' + VirtualDriver::kCameraCount) return std::nullopt;
        present[item[0] - '0'] = true;
        if (comma == std::string::npos) return present;
        start = comma + 1;
    }
}

std::optional<std::vector<std::uint16_t>> ReadFrame(const std::string& path, std::string* why) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *why = "cannot be read";
        return std::nullopt;
    }
    std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        *why = "cannot be read";
        return std::nullopt;
    }
    constexpr std::size_t kFrameBytes = std::size_t{kSensorPixels} * 2;
    if (bytes.size() != kFrameBytes) {
        *why = "holds " + std::to_string(bytes.size()) + " bytes, not the " + std::to_string(kFrameBytes) +
               " of one frame";
        return std::nullopt;
    }
    std::vector<std::uint16_t> levels(kSensorPixels);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (int i = 0; i < kSensorPixels; ++i) levels[i] = GetLE16(data + 2 * i);
    return levels;
}

}  // namespace

SimSettings SimEnvironment::Read(const Lookup& lookup, std::vector<std::string>* problems) {
    SimSettings settings;
    if (auto text = lookup("CALIDRA_SIM_FPS")) {
        settings.framesPerSecond = ParseRate(*text);
        if (!settings.framesPerSecond)
            problems->push_back("CALIDRA_SIM_FPS='" + *text + "' ignored: it takes frames per second from 0 to 1000");
    }
    if (auto text = lookup("CALIDRA_SIM_CAMERAS")) {
        settings.present = ParseCameras(*text);
        if (!settings.present)
            problems->push_back("CALIDRA_SIM_CAMERAS='" + *text +
                                "' ignored: it takes camera numbers 0..7 separated by commas, or none");
    }
    if (auto text = lookup("CALIDRA_VIRTUAL_CAMERA")) {
        if (*text == "1" || *text == "0")
            settings.virtualCamera = *text == "1";
        else
            problems->push_back("CALIDRA_VIRTUAL_CAMERA='" + *text + "' ignored: it takes 1 or 0");
    }
    if (auto path = lookup("CALIDRA_SIM_FRAME")) {
        std::string why;
        settings.frame = ReadFrame(*path, &why);
        if (!settings.frame) problems->push_back("CALIDRA_SIM_FRAME='" + *path + "' ignored: the file " + why);
    }
    return settings;
}

void SimEnvironment::Apply(const SimSettings& settings, VirtualDriver& driver) {
    for (int index = 0; index < VirtualDriver::kCameraCount; ++index) {
        VirtualCamera& camera = *driver.Camera(index);
        if (settings.present) camera.SetPresent((*settings.present)[index]);
        if (settings.framesPerSecond) camera.SetFrameRate(*settings.framesPerSecond);
        if (settings.frame) camera.SetFixedFrame(settings.frame->data());
    }
}

SimSettings SimEnvironment::ApplyAtLoad(VirtualDriver& driver) {
    std::vector<std::string> problems;
    SimSettings settings = Read(
        [](const char* name) -> std::optional<std::string> {
            // An empty value counts as unset, as in `CALIDRA_SIM_FPS= program`.
            const char* value = std::getenv(name);
            if (value == nullptr || *value == '\0') return std::nullopt;
            return std::string(value);
        },
        &problems);
    // The library's only words on stderr besides the PNG writer's: a setting
    // the user made on purpose must not vanish without a trace.
    for (const std::string& problem : problems) std::fprintf(stderr, "libcalidra: %s\n", problem.c_str());
    Apply(settings, driver);
    return settings;
}

}  // namespace calidra::sim
