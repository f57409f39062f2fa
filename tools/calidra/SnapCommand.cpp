// calidra snap: one frame saved in the still types asked for.
#include <chrono>
#include <filesystem>
#include <thread>

#include "Camera.h"
#include "Catalog.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ExitCode.h"
#include "Numbers.h"
#include "StillFiles.h"
#include "calidra_sim.h"

namespace calidra::tool {

namespace {

const std::string& Help() {
    static const std::string help =
        "Usage: calidra snap [options] OUT\n"
        "\n"
        "Takes one frame and saves it. By default it previews until the first frames after the\n"
        "start-up calibration have settled, then saves the newest frame.\n"
        "\n"
        "  --format NAME     still type to save (may be repeated; default png):\n" +
        Catalog::SaveTypeNames(22) +
        "  --all             save all fourteen types\n"
        "  --flip            files hold their rows in the opposite order (parameter 18)\n"
        "  --nuc             run a shutter calibration before taking the frame\n"
        "  --data-set FILE   load a camera data set (\"VL-DATSET-V\" file) first\n"
        "  --nuc-data FILE   load correction data (\"VL-CORSET\" file) first\n"
        "  --one-shot        capture a single frame instead of previewing\n"
        "  --trigger         wait up to 3 s for the trigger input, then capture a single frame\n"
        "  --sim-trigger     with --trigger: the virtual camera raises its trigger line after 0.3 s\n"
        "                    and lowers it 1 s later\n"
        "\n"
        "With one type, OUT is the file to write. With several, or --all, OUT is a folder\n"
        "(created when missing) that receives one file per type, named after it (png16.png,\n"
        "temp-f32.f32, ...). The file's extension does not choose its type.\n";
    return help;
}

constexpr std::chrono::seconds kSettleTimeout(20);
// Frames after the first one that the automatic colour range needs to follow
// the scene.
constexpr int kSettleFrames = 3;

// The capture waits for bit 2 of status register 7 to fall. The line stays
// up for a second, so that even a busy machine's polling sees it set.
void PulseTrigger(int index) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CalidraSim_SetRegister(index, 7, 0x04);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    CalidraSim_SetRegister(index, 7, 0x00);
}

}  // namespace

int RunSnap(CommandArgs args) {
    CommandLine line("snap", Help(),
                     {{"format", true},
                      {"all", false},
                      {"flip", false},
                      {"nuc", false},
                      {"data-set", true},
                      {"nuc-data", true},
                      {"one-shot", false},
                      {"trigger", false},
                      {"sim-trigger", false}},
                     true);
    if (auto exit = line.Parse(args)) return *exit;
    const ArgParser& options = line.Args();
    if (line.Positionals().size() != 1) return line.UsageError("snap takes exactly one OUT");
    if (options.Has("one-shot") && options.Has("trigger")) return line.UsageError("--one-shot or --trigger, not both");
    if (options.Has("sim-trigger") && !options.Has("trigger")) return line.UsageError("--sim-trigger needs --trigger");

    std::vector<const SaveType*> types;
    if (options.Has("all")) {
        if (options.Has("format")) return line.UsageError("--all or --format, not both");
        for (const SaveType& type : Catalog::SaveTypes()) types.push_back(&type);
    }
    for (const std::string& name : options.GetAll("format")) {
        const SaveType* type = Catalog::FindSaveType(name);
        if (type == nullptr) return line.UsageError("unknown --format '" + name + "'");
        types.push_back(type);
    }
    if (types.empty()) types.push_back(Catalog::FindSaveType("png"));

    const std::string out = line.Positionals()[0];
    std::vector<std::string> paths;
    if (types.size() == 1 && !options.Has("all")) {
        paths.push_back(out);
    } else {
        std::error_code error;
        std::filesystem::create_directories(out, error);
        if (error || !std::filesystem::is_directory(out)) {
            line.Out().Error("cannot create the folder " + out + ": " + error.message());
            return kExitFileError;
        }
        for (const SaveType* type : types)
            paths.push_back((std::filesystem::path(out) / StillFiles::FileName(*type)).string());
    }

    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), line.Out(), true, &exitCode);
    if (!camera) return exitCode;
    const unsigned long handle = camera->Handle();
    if (options.Has("flip") && !Calidra_SetParam(handle, CALIDRA_PARAM_FLIP_FILE, 1)) {
        camera->ReportFailure("Calidra_SetParam(18)");
        return kExitFailed;
    }
    if (auto dataSet = options.Get("data-set")) {
        camera->ForgetCodes();
        if (!Calidra_SetTableA(handle, dataSet->c_str())) {
            camera->ReportFailure("loading the data set " + *dataSet + ": Calidra_SetTableA");
            return kExitFailed;
        }
    }
    if (auto nucData = options.Get("nuc-data")) {
        camera->ForgetCodes();
        if (!Calidra_LoadNucDataA(handle, nucData->c_str(), FILESAVETYPE_CORSET)) {
            camera->ReportFailure("loading the correction data " + *nucData + ": Calidra_LoadNucDataA");
            return kExitFailed;
        }
    }

    const bool single = options.Has("one-shot") || options.Has("trigger");
    if (!single || options.Has("nuc")) {
        if (!camera->StartPreview()) return kExitFailed;
        if (!camera->WaitFrames(1 + kSettleFrames, kSettleTimeout, &exitCode)) return exitCode;
        if (options.Has("nuc")) {
            long long resumedMs = 0;
            if (!camera->Calibrate(&exitCode, &resumedMs)) return exitCode;
            line.Out().Out("calibration done; frames flowed again after " + Numbers::Fixed(resumedMs / 1000.0, 1) +
                           " s");
        }
        // Saving after the stop keeps every file of one snap on the same frame.
        camera->StopPreview();
    }
    unsigned long id = 0;
    if (options.Has("one-shot")) {
        camera->ForgetCodes();
        id = Calidra_OneShot(handle);
        if (id == 0) {
            camera->ReportFailure("Calidra_OneShot");
            return kExitFailed;
        }
    } else if (options.Has("trigger")) {
        camera->ForgetCodes();
        std::thread pulse;
        if (options.Has("sim-trigger")) pulse = std::thread(PulseTrigger, camera->Index());
        id = Calidra_Trigger(handle);
        if (pulse.joinable()) pulse.join();
        if (id == 0) {
            // Every trigger capture records ERR_UNSUPPORTED as an event.
            camera->ReportFailure("Calidra_Trigger", {ERR_UNSUPPORTED});
            return kExitFailed;
        }
    } else {
        id = Calidra_GetNewID(handle);
    }
    line.Out().Out("frame " + std::to_string(id) + " of camera " + std::to_string(camera->Index()) + " (" +
                   camera->Name(camera->Index()) + ")");

    int failures = 0;
    for (std::size_t i = 0; i < types.size(); ++i) {
        long long bytes = 0;
        if (StillFiles::Save(*camera, *types[i], paths[i], &bytes)) {
            line.Out().Out("wrote " + paths[i] + " (" + std::string(types[i]->name) + ", " + Numbers::Grouped(bytes) +
                           " bytes)");
        } else {
            ++failures;
        }
    }
    return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace calidra::tool
