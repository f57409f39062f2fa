#include "Commands.h"

namespace calidra::tool {

namespace {

constexpr CommandEntry kCommands[] = {
    {"list", "cameras 0 to 7, present or not, with their names", RunList},
    {"info", "library version, camera, internal temperature, parameters 1 to 18", RunInfo},
    {"snap", "save one frame in any of the fourteen still types", RunSnap},
    {"record", "record live frames as raw stream, AVI or temperature stream", RunRecord},
    {"stream-test", "frames received, rate, gaps, hold-offs and error codes of a preview", RunStreamTest},
    {"param", "read or write a numbered parameter", RunParam},
    {"nuc", "run a shutter calibration", RunNuc},
    {"nuc-data", "save or load correction data", RunNucData},
    {"convert", "turn raw and temperature files into PNG, TIFF or CSV", RunConvert},
#ifndef _WIN32
    // The web viewer and the repair of recordings are in the Linux tool only.
    {"serve", "the live camera in a web browser, with its controls", RunServe},
    {"repair", "make a recording whose process died whole again", RunRepair},
#endif
    {"demo", "the tour of the SDK that './run demo' shows", RunDemo},
};

}  // namespace

std::span<const CommandEntry> AllCommands() { return kCommands; }

}  // namespace calidra::tool
