// calidra record: live frames into a raw stream, an AVI file or a
// temperature stream, stopped by time, frame count or Ctrl-C.
#include <chrono>

#include "Camera.h"
#include "Catalog.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ErrorCodes.h"
#include "ExitCode.h"
#include "Numbers.h"
#include "RecordingFiles.h"

namespace calidra::tool {

namespace {

const std::string& Help() {
    static const std::string help =
        "Usage: calidra record [options] OUT\n"
        "\n"
        "Records live frames into OUT until the time or the frame count is reached, or until\n"
        "Ctrl-C; every way of stopping leaves a finished file. A terminal sees a progress line\n"
        "(frames, frames per second, MiB written, elapsed time); a summary follows at the end.\n"
        "\n"
        "  --kind raw|avi|temp  what to record (default avi):\n" +
        Catalog::RecordKindLines(25) +
        "  --seconds S          stop after S seconds\n"
        "  --frames N           stop once N frames are in the file (a frame more may follow,\n"
        "                       the summary gives the exact count)\n"
        "  --limit-mib N        continue in OUT_1, OUT_2, ... once an AVI file reaches N MiB\n"
        "                       (parameter 11, default 2000)\n"
        "  --flip               files hold the top row first (parameter 18)\n"
        "\n"
        "Without --seconds or --frames the recording runs until Ctrl-C.\n"
        "Ctrl-C ends the recording cleanly and the tool exits 0.\n";
    return help;
}

constexpr double kMiB = 1024.0 * 1024.0;

struct Totals {
    long long frames = 0;
    long long bytes = 0;
};

Totals Sum(const std::vector<RecordingFile>& files) {
    Totals totals;
    for (const RecordingFile& file : files) {
        totals.frames += file.frames;
        totals.bytes += file.bytes;
    }
    return totals;
}

}  // namespace

int RunRecord(CommandArgs args) {
    CommandLine line("record", Help(),
                     {{"kind", true}, {"seconds", true}, {"frames", true}, {"limit-mib", true}, {"flip", false}}, true);
    if (auto exit = line.Parse(args)) return *exit;
    const ArgParser& options = line.Args();
    if (line.Positionals().size() != 1) return line.UsageError("record takes exactly one OUT");
    const RecordKind* kind = Catalog::FindRecordKind(options.Get("kind").value_or("avi"));
    if (kind == nullptr) return line.UsageError("--kind takes raw, avi or temp");
    std::optional<double> seconds;
    if (auto text = options.Get("seconds")) {
        seconds = Numbers::ParseDouble(*text);
        if (!seconds || !(*seconds > 0.0) || *seconds > 86400.0)
            return line.UsageError("--seconds takes a time in seconds");
    }
    std::optional<int> frames;
    if (auto text = options.Get("frames")) {
        frames = Numbers::ParseInt(*text);
        if (!frames || *frames < 1) return line.UsageError("--frames takes a whole number of frames, at least 1");
    }
    std::optional<int> limitMiB;
    if (auto text = options.Get("limit-mib")) {
        limitMiB = Numbers::ParseInt(*text);
        // A file must stay below 4 GiB, the reach of the sizes in its header.
        if (!limitMiB || *limitMiB < 1 || *limitMiB > 4000) return line.UsageError("--limit-mib takes 1 to 4000");
    }
    const std::string out = line.Positionals()[0];
    Console& console = line.Out();

    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), console, true, &exitCode);
    if (!camera) return exitCode;
    const unsigned long handle = camera->Handle();
    if ((limitMiB && !Calidra_SetParam(handle, CALIDRA_PARAM_FILE_LIMIT_MIB, *limitMiB)) ||
        (options.Has("flip") && !Calidra_SetParam(handle, CALIDRA_PARAM_FLIP_FILE, 1))) {
        camera->ReportFailure("Calidra_SetParam");
        return kExitFailed;
    }
    if (!camera->StartPreview()) return kExitFailed;
    if (!camera->WaitFrames(1, std::chrono::seconds(20), &exitCode)) return exitCode;

    RecordingFiles recording(out, *kind);
    // Files older than this are from an earlier recording. File times are
    // taken from a coarse clock that may lag a few milliseconds behind.
    const auto since = std::filesystem::file_time_type::clock::now() - std::chrono::milliseconds(20);
    const auto start = std::chrono::steady_clock::now();
    camera->ForgetCodes();
    Calidra_RecA(handle, out.c_str(), kind->kind);
    if (!frames && !seconds && console.Interactive()) console.Out("recording into " + out + "; Ctrl-C stops");

    int failedCode = 0;
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    const auto limit = seconds ? std::chrono::milliseconds(static_cast<long long>(*seconds * 1000))
                               : std::chrono::milliseconds(std::chrono::hours(24 * 365));
    WaitResult result = camera->Pump(limit, [&](const CALIDRA_MSG* msg) {
        if (msg != nullptr && msg->message == WM_CAMERA_ERROR && msg->lParam == ERR_FILE) {
            failedCode = ERR_FILE;
            return true;
        }
        // A frame message comes right after its frame went into the file, the
        // moment to see whether enough are there.
        if (msg != nullptr && (msg->message != WM_CAMERA_FRAME || !frames)) return false;
        Totals totals = Sum(recording.Scan(since));
        if (msg != nullptr) return totals.frames >= *frames;
        double time = elapsed();
        console.Progress("recording " + std::string(kind->name) + "  frames " + std::to_string(totals.frames) + "  " +
                         Numbers::Fixed(time > 0 ? totals.frames / time : 0.0, 1) + " fps  " +
                         Numbers::Fixed(totals.bytes / kMiB, 1) + " MiB  " + Numbers::Fixed(time, 1) + " s");
        return frames && totals.frames >= *frames;
    });
    const double recordedSeconds = elapsed();
    // Closing ends the acquisition loop, which finishes the open file.
    camera->StopPreview();
    console.EndProgress();

    if (result == WaitResult::kInterrupted) console.Out("stopped by Ctrl-C");
    if (failedCode != 0) {
        console.Error("the recording file " + out + " could not be opened: " + ErrorCodes::Describe(failedCode));
        return kExitFailed;
    }
    if (result == WaitResult::kStreamEnded) {
        console.Error("the stream ended: " + ErrorCodes::Describe(ERR_STREAM_END));
        exitCode = kExitNoFrames;
    }
    std::vector<RecordingFile> files = recording.Scan(since);
    Totals totals = Sum(files);
    console.Out("recorded " + std::to_string(totals.frames) + " frames in " + Numbers::Fixed(recordedSeconds, 1) +
                " s into " + std::to_string(files.size()) + (files.size() == 1 ? " file, " : " files, ") +
                Numbers::Fixed(totals.bytes / kMiB, 1) + " MiB");
    for (const RecordingFile& file : files) {
        console.Out("  " + file.path + "  " + std::to_string(file.frames) + " frames  " + Numbers::Grouped(file.bytes) +
                    " bytes" + (file.finished ? "" : "  NOT FINISHED"));
        if (!file.finished) exitCode = kExitFailed;
    }
    if (totals.frames == 0) {
        console.Error("no frame was recorded");
        camera->ReportFailure("recording");
        if (exitCode == kExitOk) exitCode = kExitFailed;
    }
    return exitCode;
}

}  // namespace calidra::tool
