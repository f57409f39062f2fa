#include "CameraOptions.h"

#include "Catalog.h"
#include "Numbers.h"

namespace calidra::tool {

std::vector<OptionSpec> CameraOptions::Specs() {
    return {{"camera", true}, {"sim-fps", true}, {"sim-cameras", true}, {"sim-frame", true}, {"set", true}};
}

bool CameraOptions::Read(const ArgParser& parser, std::string* error) {
    if (auto text = parser.Get("camera")) {
        camera = Numbers::ParseInt(*text);
        if (!camera || *camera < 0 || *camera > 7) {
            *error = "--camera takes a camera number from 0 to 7, not '" + *text + "'";
            return false;
        }
    }
    if (auto text = parser.Get("sim-fps")) {
        simFps = Numbers::ParseDouble(*text);
        if (!simFps || !(*simFps >= 0.0) || *simFps > 1000.0) {
            *error = "--sim-fps takes frames per second from 0 (as fast as asked) to 1000, not '" + *text + "'";
            return false;
        }
    }
    if (auto text = parser.Get("sim-cameras")) {
        if (*text == "none") {
            simCameras = std::vector<int>{};
        } else {
            simCameras = Numbers::ParseIntList(*text);
            bool valid = simCameras.has_value();
            if (valid) {
                for (int index : *simCameras) valid = valid && index >= 0 && index <= 7;
            }
            if (!valid) {
                *error = "--sim-cameras takes camera numbers 0..7 separated by commas (or 'none'), not '" + *text + "'";
                return false;
            }
        }
    }
    simFrame = parser.Get("sim-frame");
    for (const std::string& setting : parser.GetAll("set")) {
        std::size_t equals = setting.find('=');
        std::optional<int> id = Catalog::ParameterId(std::string_view(setting).substr(0, equals));
        std::optional<int> value = equals == std::string::npos
                                       ? std::nullopt
                                       : Numbers::ParseInt(std::string_view(setting).substr(equals + 1));
        if (!id || !value) {
            *error = "--set takes NAME=VALUE or ID=VALUE with a whole number (for example range-low=500), not '" +
                     setting + "'";
            return false;
        }
        settings.emplace_back(*id, *value);
    }
    return true;
}

const char* CameraOptions::Help() {
    return "Camera options:\n"
           "  --camera N          use camera N (0..7); default: the first camera present\n"
           "  --set NAME=VALUE    set a parameter first (name or number, see 'calidra param --help');\n"
           "                      may be repeated\n"
           "Virtual camera options:\n"
           "  --sim-fps F         frames per second of the virtual cameras (0: as fast as asked; default 30)\n"
           "  --sim-cameras LIST  which virtual cameras are present, e.g. 0,2,5 or none (default 0)\n"
           "  --sim-frame FILE    show this picture instead of the simulated scene: 614,400 bytes of\n"
           "                      16-bit little-endian levels, bottom row first, as 'snap --format raw'\n"
           "                      writes them; also turns automatic calibration off, since a calibration\n"
           "                      over a fixed picture flattens it (--set auto-nuc=1 turns it back on)\n";
}

}  // namespace calidra::tool
