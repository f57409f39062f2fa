// calidra: the command-line tool of the Calidra SDK.
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "Console.h"
#include "ExitCode.h"

using namespace calidra::tool;

namespace {

void PrintHelp() {
    std::string text =
        "Usage: calidra COMMAND [options] [arguments]\n"
        "\n"
        "The command-line tool of the Calidra SDK, for the 640 x 480 thermal camera and its\n"
        "virtual driver.\n"
        "\n"
        "Commands:\n";
    for (const CommandEntry& command : AllCommands()) {
        std::string name = "  " + std::string(command.name);
        name.resize(15, ' ');
        text += name + std::string(command.summary) + "\n";
    }
    text +=
        "\n"
        "'calidra COMMAND --help' describes a command and its options.\n"
        "Every camera command takes --camera N, --set NAME=VALUE and the virtual camera options\n"
        "--sim-fps F, --sim-cameras LIST and --sim-frame FILE.\n"
        "\n";
    text += CommandLine::ExitCodesHelp();
    std::fputs(text.c_str(), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintHelp();
        return kExitUsage;
    }
    const std::string command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        if (command == "help" && args.size() == 2) {
            args = {args[1], "--help"};
        } else {
            PrintHelp();
            return kExitOk;
        }
    }
    for (const CommandEntry& entry : AllCommands()) {
        if (entry.name == args[0]) {
            Interrupt::Install();
            return entry.run(std::span<const std::string>(args).subspan(1));
        }
    }
    std::fprintf(stderr, "calidra: error: unknown command '%s' (see 'calidra --help')\n", args[0].c_str());
    return kExitUsage;
}
