// The command line of one subcommand: its options, its --help, and the usage
// error that points back to the help.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ArgParser.h"
#include "CameraOptions.h"
#include "Console.h"

namespace calidra::tool {

class CommandLine {
public:
    // help: the subcommand's own text; the camera options and the exit codes
    // are added to it.
    CommandLine(std::string_view command, std::string_view help, std::vector<OptionSpec> specs, bool cameraOptions);

    // nullopt: carry on. Otherwise the exit code: --help was printed, or the
    // arguments were wrong.
    std::optional<int> Parse(std::span<const std::string> args);
    int UsageError(std::string_view message) const;
    void PrintHelp() const;

    const ArgParser& Args() const { return parser_; }
    const std::vector<std::string>& Positionals() const { return parser_.Positionals(); }
    const CameraOptions& Camera() const { return camera_; }
    Console& Out() { return console_; }

    // The text of the exit codes, shared by every help.
    static const char* ExitCodesHelp();

private:
    std::string command_;
    std::string_view help_;
    std::vector<OptionSpec> specs_;
    bool cameraOptions_;
    ArgParser parser_;
    CameraOptions camera_;
    Console console_;
};

}  // namespace calidra::tool
