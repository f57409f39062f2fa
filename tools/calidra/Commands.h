// The subcommands of the calidra tool. Each takes the arguments after its
// name and returns the process's exit code.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace calidra::tool {

using CommandArgs = std::span<const std::string>;

int RunList(CommandArgs args);
int RunInfo(CommandArgs args);
int RunSnap(CommandArgs args);
int RunRecord(CommandArgs args);
int RunStreamTest(CommandArgs args);
int RunParam(CommandArgs args);
int RunNuc(CommandArgs args);
int RunNucData(CommandArgs args);
int RunConvert(CommandArgs args);
int RunServe(CommandArgs args);
int RunRepair(CommandArgs args);
int RunDemo(CommandArgs args);

struct CommandEntry {
    std::string_view name;
    std::string_view summary;
    int (*run)(CommandArgs args);
};

std::span<const CommandEntry> AllCommands();

}  // namespace calidra::tool
