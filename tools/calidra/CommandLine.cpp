#include "CommandLine.h"

#include <cstdio>

#include "ExitCode.h"

namespace calidra::tool {

CommandLine::CommandLine(std::string_view command, std::string_view help, std::vector<OptionSpec> specs,
                         bool cameraOptions)
    : command_("calidra " + std::string(command)),
      help_(help),
      specs_(std::move(specs)),
      cameraOptions_(cameraOptions),
      console_(command_) {
    specs_.push_back({"help", false});
    if (cameraOptions_) {
        for (const OptionSpec& spec : CameraOptions::Specs()) specs_.push_back(spec);
    }
}

std::optional<int> CommandLine::Parse(std::span<const std::string> args) {
    std::string error;
    if (!parser_.Parse(args, specs_, &error)) return UsageError(error);
    if (parser_.Has("help")) {
        PrintHelp();
        return kExitOk;
    }
    if (cameraOptions_ && !camera_.Read(parser_, &error)) return UsageError(error);
    return std::nullopt;
}

int CommandLine::UsageError(std::string_view message) const {
    console_.Error(message);
    std::fprintf(stderr, "(see '%s --help')\n", command_.c_str());
    return kExitUsage;
}

void CommandLine::PrintHelp() const {
    std::string text(help_);
    if (cameraOptions_) text += "\n" + std::string(CameraOptions::Help());
    text += "\n";
    text += ExitCodesHelp();
    std::fputs(text.c_str(), stdout);
}

const char* CommandLine::ExitCodesHelp() {
    return "Exit codes:\n"
           "  0    done\n"
           "  1    a library call failed (the message names the error code and its meaning)\n"
           "  2    wrong command line\n"
           "  3    the camera is absent or cannot be set up\n"
           "  4    the tool could not read its input or write its output\n"
           "  5    no frames arrived in time, or the stream ended\n"
           "  130  interrupted by Ctrl-C (record and serve stop cleanly on Ctrl-C and exit 0)\n";
}

}  // namespace calidra::tool
