// calidra list: the eight camera numbers and what is there.
#include "Camera.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitCode.h"

namespace calidra::tool {

namespace {

constexpr const char* kHelp =
    "Usage: calidra list [options]\n"
    "\n"
    "Lists camera numbers 0 to 7, whether a camera is present at each, and its name\n"
    "(CalidraVX_01 for camera 0). Exits 0 even when no camera is present.\n";

}  // namespace

int RunList(CommandArgs args) {
    CommandLine line("list", kHelp, {}, true);
    if (auto exit = line.Parse(args)) return *exit;
    if (!line.Positionals().empty()) return line.UsageError("list takes no arguments");
    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), line.Out(), false, &exitCode);
    if (!camera) return exitCode;
    line.Out().Out("camera  name           state");
    for (int index = 0; index < 8; ++index) {
        std::string name = camera->Name(index);
        std::string text = std::to_string(index) + "       " + (name.empty() ? std::string("-") : name);
        text.resize(23, ' ');
        line.Out().Out(text + (name.empty() ? "absent" : "present"));
    }
    return kExitOk;
}

}  // namespace calidra::tool
