// The demo: a tour of the SDK on the virtual camera that leaves pictures, a
// correction-data file and a recording in one folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "Camera.h"
#include "Catalog.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ErrorCodes.h"
#include "ExitCode.h"
#include "Numbers.h"
#include "RecordingFiles.h"
#include "StillFiles.h"

namespace calidra::tool {

namespace {

constexpr const char* kHelp =
    "Usage: calidra demo [options]      (also: calidra-demo [options], what './run demo' runs)\n"
    "\n"
    "On the virtual camera: lists the cameras, previews with a live line of frame rate and\n"
    "internal temperature, runs a calibration, saves all fourteen still types and a\n"
    "correction-data file, records AVI (checked with ffprobe when it is installed), and ends\n"
    "with a table of the files it wrote. Exits 0 only when every step worked.\n"
    "\n"
    "  --out DIR             where the files go (default demo-out)\n"
    "  --preview-seconds S   how long to preview (default 3)\n"
    "  --record-seconds S    how long to record (default 3)\n";

struct Written {
    std::string name;
    std::string what;
    long long bytes;
};

class Demo {
public:
    Demo(Console& console, std::filesystem::path out) : console_(console), out_(std::move(out)) {}

    void Step(const std::string& title) { console_.Out("\n" + title); }
    void Say(const std::string& text) { console_.Out("   " + text); }
    void Fail(const std::string& what) {
        failures_.push_back(what);
        console_.Out("   FAILED: " + what);
    }
    // The codes on the stack explain the failure of `call`.
    void FailWithCodes(Camera& camera, const std::string& call, std::initializer_list<int> events = {}) {
        std::vector<int> codes;
        for (int code = Calidra_GetLastError(camera.Handle()); code != 0;
             code = Calidra_GetLastError(camera.Handle())) {
            if (std::find(events.begin(), events.end(), code) == events.end()) codes.insert(codes.begin(), code);
        }
        if (codes.empty()) Fail(call + " failed (no error code recorded)");
        for (int code : codes) Fail(call + " failed: " + ErrorCodes::Describe(code));
    }
    void Wrote(const std::string& name, const std::string& what) {
        std::error_code error;
        auto size = std::filesystem::file_size(out_ / name, error);
        written_.push_back({name, what, error ? -1 : static_cast<long long>(size)});
    }

    bool Cameras(Camera& camera);
    bool Preview(Camera& camera, double seconds);
    void Calibrate(Camera& camera);
    void Stills(Camera& camera);
    void CorrectionData(Camera& camera);
    void Record(Camera& camera, double seconds);
    int Finish();

private:
    std::string Path(const std::string& name) const { return (out_ / name).string(); }
    void Probe(const std::string& path, long long frames);

    Console& console_;
    std::filesystem::path out_;
    std::vector<std::string> failures_;
    std::vector<Written> written_;
};

bool Demo::Cameras(Camera& camera) {
    Step("1. Cameras (Calidra_IsCameraEnableA for numbers 0 to 7)");
    int present = 0;
    for (int index = 0; index < 8; ++index) {
        std::string name = camera.Name(index);
        if (!name.empty()) ++present;
        std::string text = std::to_string(index) + "  " + (name.empty() ? std::string("-") : name);
        text.resize(15, ' ');
        Say(text + (name.empty() ? "  absent" : "  present"));
    }
    if (present == 0) Fail("no camera is present: " + ErrorCodes::Describe(ERR_CAMERA));
    return present > 0;
}

bool Demo::Preview(Camera& camera, double seconds) {
    Step("2. Live preview for " + Numbers::Fixed(seconds, 0) + " s (Calidra_Preview, WM_CAMERA_FRAME messages)");
    camera.ForgetCodes();
    if (!Calidra_Preview(camera.Handle())) {
        FailWithCodes(camera, "Calidra_Preview", {ERR_UNSUPPORTED});
        return false;
    }
    using Clock = std::chrono::steady_clock;
    long long frames = 0;
    Clock::time_point firstFrame;
    auto nextPrint = Clock::now() + std::chrono::seconds(1);
    auto line = [&] {
        int ok = 0;
        float temperature = Calidra_GetInternalTemperature(camera.Handle(), &ok);
        return "frames " + std::to_string(frames) + "  rate " +
               Numbers::Fixed(Calidra_GetParam(camera.Handle(), CALIDRA_PARAM_FRAME_RATE_X100) / 100.0, 1) +
               " fps  internal " + (ok ? Numbers::Fixed(temperature, 2) + " C" : std::string("unknown")) +
               (frames == 0 ? "  (start-up calibration)" : "");
    };
    // A new instance calibrates at its first pass and holds frames back
    // meanwhile: the preview time counts from the first frame.
    const auto previewTime = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    WaitResult result = camera.Pump(previewTime + std::chrono::seconds(20), [&](const CALIDRA_MSG* msg) {
        if (msg != nullptr) {
            if (msg->message == WM_CAMERA_FRAME && frames++ == 0) firstFrame = Clock::now();
        } else if (console_.Interactive()) {
            console_.Progress("   " + line());
        } else if (Clock::now() >= nextPrint) {
            Say(line());
            nextPrint += std::chrono::seconds(1);
        }
        return frames > 0 && Clock::now() - firstFrame >= previewTime;
    });
    console_.EndProgress();
    Say(line());
    if (result == WaitResult::kInterrupted) {
        Fail("interrupted");
        return false;
    }
    if (result == WaitResult::kStreamEnded) Fail("the stream ended: " + ErrorCodes::Describe(ERR_STREAM_END));
    if (frames == 0) {
        Fail("no frame arrived during the preview");
        FailWithCodes(camera, "live acquisition", {ERR_UNSUPPORTED});
        return false;
    }
    return result != WaitResult::kStreamEnded;
}

void Demo::Calibrate(Camera& camera) {
    Step("3. Shutter calibration (Calidra_Nuc): frames pause during the hold-off");
    int exitCode = kExitOk;
    long long resumedMs = 0;
    if (camera.Calibrate(&exitCode, &resumedMs)) {
        Say("done; frames flowed again after " + Numbers::Fixed(resumedMs / 1000.0, 1) + " s");
    } else {
        Fail("frames did not come back after the calibration");
    }
    // The stills and the correction data all come from the frame that is
    // newest once acquisition has stopped.
    camera.StopPreview();
}

void Demo::Stills(Camera& camera) {
    Step("4. The newest frame in all fourteen still types (Calidra_SaveA)");
    int saved = 0;
    for (const SaveType& type : Catalog::SaveTypes()) {
        std::string name = StillFiles::FileName(type);
        long long bytes = 0;
        camera.ForgetCodes();
        if (StillFiles::Save(camera, type, Path(name), &bytes)) {
            ++saved;
            Wrote(name, "type " + std::to_string(type.type) + ": " + std::string(type.content));
        } else {
            Fail("saving " + std::string(type.name) + " (see the message above)");
        }
    }
    Say(std::to_string(saved) + " of 14 saved");
}

void Demo::CorrectionData(Camera& camera) {
    Step("5. The sensor correction as a correction-data file (Calidra_SaveNucDataA)");
    const std::string name = "correction.corset";
    camera.ForgetCodes();
    if (Calidra_SaveNucDataA(camera.Handle(), Path(name).c_str(), FILESAVETYPE_CORSET)) {
        Wrote(name, "correction data, \"VL-CORSET-V1020\": gain, offset, shutter offset, scale");
        Say("saved " + name);
    } else {
        FailWithCodes(camera, "Calidra_SaveNucDataA");
    }
}

void Demo::Record(Camera& camera, double seconds) {
    Step("6. " + Numbers::Fixed(seconds, 0) + " s of AVI (Calidra_RecA kind 2 while previewing)");
    const std::string name = "recording.avi";
    const std::string path = Path(name);
    camera.ForgetCodes();
    if (!Calidra_Preview(camera.Handle())) {
        FailWithCodes(camera, "Calidra_Preview", {ERR_UNSUPPORTED});
        return;
    }
    int exitCode = kExitOk;
    if (!camera.WaitFrames(1, std::chrono::seconds(20), &exitCode)) {
        Fail("no frame arrived for the recording");
        camera.StopPreview();
        return;
    }
    Calidra_RecA(camera.Handle(), path.c_str(), CALIDRA_RECORD_AVI);
    int fileError = 0;
    WaitResult result =
        camera.Pump(std::chrono::milliseconds(static_cast<long long>(seconds * 1000)), [&](const CALIDRA_MSG* msg) {
            if (msg && msg->message == WM_CAMERA_ERROR && msg->lParam == ERR_FILE) {
                fileError = ERR_FILE;
                return true;
            }
            return false;
        });
    // Closing ends the acquisition loop, which finishes the file.
    camera.StopPreview();
    if (fileError != 0) {
        Fail("the recording file could not be opened: " + ErrorCodes::Describe(fileError));
        return;
    }
    if (result == WaitResult::kStreamEnded) Fail("the stream ended: " + ErrorCodes::Describe(ERR_STREAM_END));
    RecordingFile file = RecordingFiles::InspectAvi(path);
    if (!file.finished || file.frames == 0) {
        Fail(file.bytes == 0 ? "no recording was written" : "the recording is not a finished AVI file");
        return;
    }
    Wrote(name, "AVI, " + std::to_string(file.frames) + " frames of uncompressed 24-bit colour");
    Say(std::to_string(file.frames) + " frames recorded");
    Probe(path, file.frames);
}

void Demo::Probe(const std::string& path, long long frames) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) {
        Say("ffprobe is not installed; the recording was checked by its header and index only");
        return;
    }
    std::string quoted = "'";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    std::string command =
        "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
        "stream=codec_name,width,height,nb_read_frames "
        "-of csv=p=0 " +
        quoted + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    if (pipe) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    const std::string expected = "rawvideo,640,480," + std::to_string(frames);
    if (output == expected) {
        Say("ffprobe: " + output + " (codec, width, height, frames): plays as a video");
    } else {
        Fail("ffprobe reads '" + output + "', expected '" + expected + "'");
    }
}

int Demo::Finish() {
    Step("Files in " + out_.string() + "/ (open the pictures with any image viewer)");
    std::size_t width = 4;
    for (const Written& file : written_) width = std::max(width, file.name.size());
    std::string header = "file";
    header.resize(width + 2, ' ');
    Say(header + "     bytes  what");
    for (const Written& file : written_) {
        std::string text = file.name;
        text.resize(width + 2, ' ');
        std::string bytes = file.bytes < 0 ? "missing" : Numbers::Grouped(file.bytes);
        text += std::string(bytes.size() < 10 ? 10 - bytes.size() : 0, ' ') + bytes + "  " + file.what;
        Say(text);
    }
    if (failures_.empty()) {
        console_.Out("\nThe demo worked: every step succeeded.");
        return kExitOk;
    }
    console_.Out("\nThe demo finished with " + std::to_string(failures_.size()) + " failure" +
                 (failures_.size() == 1 ? "" : "s") + ":");
    for (const std::string& failure : failures_) Say(failure);
    return kExitFailed;
}

}  // namespace

int RunDemo(CommandArgs args) {
    CommandLine line("demo", kHelp, {{"out", true}, {"preview-seconds", true}, {"record-seconds", true}}, true);
    if (auto exit = line.Parse(args)) return *exit;
    if (!line.Positionals().empty()) return line.UsageError("demo takes no arguments");
    double previewSeconds = 3.0;
    double recordSeconds = 3.0;
    for (auto [option, value] : {std::pair{"preview-seconds", &previewSeconds}, {"record-seconds", &recordSeconds}}) {
        if (auto text = line.Args().Get(option)) {
            auto number = Numbers::ParseDouble(*text);
            if (!number || !(*number > 0.0) || *number > 60.0) {
                return line.UsageError("--" + std::string(option) + " takes 0 to 60 seconds");
            }
            *value = *number;
        }
    }
    const std::filesystem::path out = line.Args().Get("out").value_or("demo-out");
    Console& console = line.Out();
    std::error_code error;
    std::filesystem::create_directories(out, error);
    if (error || !std::filesystem::is_directory(out)) {
        console.Error("cannot create the folder " + out.string());
        return kExitFileError;
    }
    const unsigned long version = Calidra_GetDllVersion();
    char versionText[64];
    std::snprintf(versionText, sizeof versionText, "%lu.%lu (0x%08lX)", (version >> 16) & 0xFFFFul, version & 0xFFFFul,
                  version);
    console.Out(std::string("Calidra SDK demo on the virtual camera; library version ") + versionText);

    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), console, false, &exitCode);
    if (!camera) return exitCode;
    Demo demo(console, out);
    if (demo.Cameras(*camera)) {
        if (demo.Preview(*camera, previewSeconds)) demo.Calibrate(*camera);
        camera->StopPreview();
        demo.Stills(*camera);
        demo.CorrectionData(*camera);
        demo.Record(*camera, recordSeconds);
    }
    return demo.Finish();
}

}  // namespace calidra::tool
