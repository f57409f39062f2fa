// calidra info: the library, the camera, and the eighteen parameters.
#include "Camera.h"
#include "Catalog.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitCode.h"
#include "Numbers.h"

namespace calidra::tool {

namespace {

constexpr const char* kHelp =
    "Usage: calidra info [options]\n"
    "\n"
    "Prints the library version, the camera's number and name, its internal temperature,\n"
    "and parameters 1 to 18 with their names, values and meanings.\n";

std::string VersionText(unsigned long version) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu (0x%08lX)", (version >> 16) & 0xFFFFul, version & 0xFFFFul, version);
    return text;
}

}  // namespace

int RunInfo(CommandArgs args) {
    CommandLine line("info", kHelp, {}, true);
    if (auto exit = line.Parse(args)) return *exit;
    if (!line.Positionals().empty()) return line.UsageError("info takes no arguments");
    Console& out = line.Out();
    out.Out("library version      " + VersionText(Calidra_GetDllVersion()));
    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), out, true, &exitCode);
    if (!camera) return exitCode;
    out.Out("camera               " + std::to_string(camera->Index()) + " (" + camera->Name(camera->Index()) + ")");
    int ok = 0;
    float temperature = Calidra_GetInternalTemperature(camera->Handle(), &ok);
    if (ok) {
        out.Out("internal temperature " + Numbers::Fixed(temperature, 2) + " C");
    } else {
        out.Out("internal temperature unknown");
        camera->ReportFailure("Calidra_GetInternalTemperature");
        exitCode = kExitFailed;
    }
    out.Out("");
    out.Out("id  name                  value  meaning");
    for (const Parameter& parameter : Catalog::Parameters()) {
        std::string text = std::to_string(parameter.id);
        text.resize(4, ' ');
        text += parameter.name;
        text.resize(21, ' ');
        std::string value = std::to_string(Calidra_GetParam(camera->Handle(), parameter.id));
        text +=
            std::string(value.size() < 6 ? 6 - value.size() : 0, ' ') + value + "  " + std::string(parameter.meaning);
        out.Out(text);
    }
    return exitCode;
}

}  // namespace calidra::tool
