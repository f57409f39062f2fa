// calidra nuc and calidra nuc-data: shutter calibration and the correction
// data it produces.
#include <filesystem>

#include "Camera.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitCode.h"
#include "Numbers.h"

namespace calidra::tool {

namespace {

constexpr const char* kNucHelp =
    "Usage: calidra nuc [options]\n"
    "\n"
    "Previews, runs a shutter calibration (non-uniformity correction) and reports how long\n"
    "the frames stopped and the camera's internal temperature.\n";

constexpr const char* kNucDataHelp =
    "Usage: calidra nuc-data save FILE [options]\n"
    "       calidra nuc-data load FILE [options]\n"
    "\n"
    "save: writes the camera's sensor correction (gain, offset, shutter offset and scale\n"
    "      planes) to a \"VL-CORSET-V1020\" file of 9,830,448 bytes.\n"
    "load: reads such a file back into a fresh instance, which shows that it is valid; to\n"
    "      take pictures with it, use 'calidra snap --nuc-data FILE'.\n"
    "\n"
    "  --nuc             save: run a shutter calibration first\n"
    "  --data-set FILE   load a camera data set (\"VL-DATSET-V\" file) first\n";

bool RunCalibration(Camera& camera, int* exitCode) {
    if (!camera.StartPreview()) {
        *exitCode = kExitFailed;
        return false;
    }
    if (!camera.WaitFrames(1, std::chrono::seconds(20), exitCode)) return false;
    long long resumedMs = 0;
    if (!camera.Calibrate(exitCode, &resumedMs)) return false;
    camera.StopPreview();
    camera.Out().Out("calibration done; frames flowed again after " + Numbers::Fixed(resumedMs / 1000.0, 1) + " s");
    return true;
}

}  // namespace

int RunNuc(CommandArgs args) {
    CommandLine line("nuc", kNucHelp, {}, true);
    if (auto exit = line.Parse(args)) return *exit;
    if (!line.Positionals().empty()) return line.UsageError("nuc takes no arguments");
    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), line.Out(), true, &exitCode);
    if (!camera) return exitCode;
    if (!RunCalibration(*camera, &exitCode)) return exitCode;
    int ok = 0;
    float temperature = Calidra_GetInternalTemperature(camera->Handle(), &ok);
    if (ok) line.Out().Out("internal temperature " + Numbers::Fixed(temperature, 2) + " C");
    return kExitOk;
}

int RunNucData(CommandArgs args) {
    CommandLine line("nuc-data", kNucDataHelp, {{"nuc", false}, {"data-set", true}}, true);
    if (auto exit = line.Parse(args)) return *exit;
    const auto& words = line.Positionals();
    if (words.size() != 2 || (words[0] != "save" && words[0] != "load")) {
        return line.UsageError("nuc-data takes save FILE or load FILE");
    }
    const bool save = words[0] == "save";
    if (!save && line.Args().Has("nuc")) return line.UsageError("--nuc goes with save");
    const std::string& path = words[1];
    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), line.Out(), true, &exitCode);
    if (!camera) return exitCode;
    const unsigned long handle = camera->Handle();
    if (auto dataSet = line.Args().Get("data-set")) {
        camera->ForgetCodes();
        if (!Calidra_SetTableA(handle, dataSet->c_str())) {
            camera->ReportFailure("loading the data set " + *dataSet + ": Calidra_SetTableA");
            return kExitFailed;
        }
    }
    if (line.Args().Has("nuc") && !RunCalibration(*camera, &exitCode)) return exitCode;
    camera->ForgetCodes();
    if (save) {
        if (!Calidra_SaveNucDataA(handle, path.c_str(), FILESAVETYPE_CORSET)) {
            camera->ReportFailure("saving " + path + ": Calidra_SaveNucDataA");
            return kExitFailed;
        }
        std::error_code error;
        auto size = std::filesystem::file_size(path, error);
        line.Out().Out("wrote " + path + " (" +
                       (error ? std::string("size unknown") : Numbers::Grouped(size) + " bytes") + ")");
        return kExitOk;
    }
    if (!Calidra_LoadNucDataA(handle, path.c_str(), FILESAVETYPE_CORSET)) {
        camera->ReportFailure("loading " + path + ": Calidra_LoadNucDataA");
        return kExitFailed;
    }
    line.Out().Out("loaded " + path + ": it is valid correction data");
    return kExitOk;
}

}  // namespace calidra::tool
