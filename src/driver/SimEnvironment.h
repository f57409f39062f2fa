// The virtual cameras' settings taken from the process environment, so that a
// program that cannot call calidra_sim.h (a GStreamer pipeline, a browser
// viewer, a script) can still shape them:
//   CALIDRA_SIM_FPS      frames per second of every camera, 0 to 1000
//   CALIDRA_SIM_CAMERAS  the cameras present: numbers 0..7 with commas, or "none"
//   CALIDRA_SIM_FRAME    a file of 640 x 480 little-endian 16-bit levels, sensor
//                        line 0 first, that every camera delivers from then on
//   CALIDRA_VIRTUAL_CAMERA  1: the virtual cameras answer where the platform has
//                        a camera driver of its own (Windows); 0: they do not
// They are read once while the library loads and applied as the CalidraSim_*
// calls would; later calls (and CalidraSim_Reset) change them as usual.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace calidra::sim {

class VirtualDriver;

struct SimSettings {
    std::optional<double> framesPerSecond;
    std::optional<std::vector<bool>> present;  // one entry per camera
    std::optional<std::vector<std::uint16_t>> frame;
    std::optional<bool> virtualCamera;
};

class SimEnvironment {
public:
    // The value of a variable, or nullopt when it is not set.
    using Lookup = std::function<std::optional<std::string>(const char* name)>;

    // Every variable that is set and valid; each bad one is left out and
    // described by one line in *problems.
    static SimSettings Read(const Lookup& lookup, std::vector<std::string>* problems);
    static void Apply(const SimSettings& settings, VirtualDriver& driver);

    // Read from the process environment, report problems on stderr, apply;
    // the settings read.
    static SimSettings ApplyAtLoad(VirtualDriver& driver);
};

}  // namespace calidra::sim
