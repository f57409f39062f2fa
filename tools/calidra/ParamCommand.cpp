// calidra param: read or write one numbered parameter, or read them all.
#include "Camera.h"
#include "Catalog.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitCode.h"
#include "Numbers.h"

namespace calidra::tool {

namespace {

const std::string& Help() {
    static const std::string help =
        "Usage: calidra param get [ID] [options]\n"
        "       calidra param set ID VALUE [options]\n"
        "\n"
        "Reads or writes a parameter. ID is a number or one of the names below; without ID,\n"
        "'get' reads parameters 1 to 18. Ids outside 1 to 18 reach the camera's 8-bit registers;\n"
        "writing ids 1 to 7 also goes to the registers, and writing 8 or 16 is refused.\n"
        "\n" +
        Catalog::ParameterColumns(2) +
        "\n"
        "Each run of the tool has an instance of its own that ends with it, so a value set here\n"
        "lasts for this run only; to work with a setting, give it to the command that does the\n"
        "work, e.g. 'calidra snap --set range-low=500 out.png'.\n";
    return help;
}

std::string Describe(int id, int value) {
    const Parameter* parameter = Catalog::FindParameter(id);
    std::string text = std::to_string(id);
    text.resize(4, ' ');
    text += parameter ? std::string(parameter->name) : "register " + std::to_string(id);
    text.resize(21, ' ');
    return text + std::to_string(value);
}

}  // namespace

int RunParam(CommandArgs args) {
    CommandLine line("param", Help(), {}, true);
    if (auto exit = line.Parse(args)) return *exit;
    const auto& words = line.Positionals();
    if (words.empty() || (words[0] != "get" && words[0] != "set")) return line.UsageError("param takes get or set");
    const bool set = words[0] == "set";
    if ((set && words.size() != 3) || (!set && words.size() > 2)) {
        return line.UsageError(set ? "param set takes ID and VALUE" : "param get takes at most one ID");
    }
    std::optional<int> id;
    if (words.size() >= 2) {
        id = Catalog::ParameterId(words[1]);
        if (!id) return line.UsageError("'" + words[1] + "' is neither a parameter name nor a number");
    }
    std::optional<int> value;
    if (set) {
        value = Numbers::ParseInt(words[2]);
        if (!value) return line.UsageError("VALUE must be a whole number, not '" + words[2] + "'");
    }
    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), line.Out(), true, &exitCode);
    if (!camera) return exitCode;
    const unsigned long handle = camera->Handle();
    if (set) {
        camera->ForgetCodes();
        if (!Calidra_SetParam(handle, *id, *value)) {
            camera->ReportFailure("Calidra_SetParam(" + std::to_string(*id) + ", " + std::to_string(*value) + ")");
            return kExitFailed;
        }
        line.Out().Out("set " + Describe(*id, *value));
        line.Out().Out("now " + Describe(*id, Calidra_GetParam(handle, *id)));
        return kExitOk;
    }
    if (id) {
        line.Out().Out(Describe(*id, Calidra_GetParam(handle, *id)));
        return kExitOk;
    }
    for (const Parameter& parameter : Catalog::Parameters()) {
        line.Out().Out(Describe(parameter.id, Calidra_GetParam(handle, parameter.id)));
    }
    return kExitOk;
}

}  // namespace calidra::tool
