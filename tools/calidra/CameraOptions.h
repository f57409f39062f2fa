// The options every camera command shares: which camera, how the virtual
// camera is shaped, and parameters to set before the work starts.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ArgParser.h"

namespace calidra::tool {

struct CameraOptions {
    std::optional<int> camera;
    std::optional<double> simFps;
    std::optional<std::vector<int>> simCameras;
    std::optional<std::string> simFrame;
    std::vector<std::pair<int, int>> settings;  // --set ID=VALUE, in command-line order

    static std::vector<OptionSpec> Specs();
    // False with a message in *error when a value does not make sense.
    bool Read(const ArgParser& parser, std::string* error);
    // The help text of the shared options.
    static const char* Help();
};

}  // namespace calidra::tool
