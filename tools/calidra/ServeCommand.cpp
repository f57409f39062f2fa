// calidra serve: the live camera in a web browser, with its controls.
#include <csignal>

#include "AccessGuard.h"
#include "Camera.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ErrorCodes.h"
#include "ExitCode.h"
#include "FileArea.h"
#include "FrameHub.h"
#include "HttpRoutes.h"
#include "ListenAddress.h"
#include "LiveCamera.h"
#include "LiveRecording.h"
#include "WebServer.h"

namespace calidra::tool {

namespace {

constexpr const char* kHelp =
    "Usage: calidra serve [options]\n"
    "\n"
    "Serves the live camera to web browsers: open the address it prints. The page shows the\n"
    "picture with the temperature under the cursor, the hottest, coldest and centre spots, a\n"
    "colour bar, palettes, an automatic or manual range, and buttons for snapshots, recordings\n"
    "and shutter calibration. Players take the MJPEG stream at /stream.mjpeg. Ctrl-C stops the\n"
    "server, finishes a running recording and exits 0.\n"
    "\n"
    "  --listen HOST:PORT  where to listen (default 127.0.0.1:8080; port 0 takes a free one).\n"
    "                      On any but a loopback address, control requests and files need\n"
    "                      the token\n"
    "  --out DIR           folder for snapshots and recordings (default: the current folder);\n"
    "                      only the files this server wrote are offered for download\n"
    "  --token TEXT        the token control requests and files need (default: none on a\n"
    "                      loopback address, else a random one, printed at the start)\n"
    "\n"
    "The HTTP interface is described in the README, \"Live view in a browser\".\n";

// Long requests (frame polls, MJPEG streams) served at once; more get 503.
constexpr int kMaxViewers = 4;
// Room beside them for control requests and idle keep-alive connections.
constexpr int kServerThreads = kMaxViewers + 12;

}  // namespace

int RunServe(CommandArgs args) {
    CommandLine line("serve", kHelp, {{"listen", true}, {"out", true}, {"token", true}}, true);
    if (auto exit = line.Parse(args)) return *exit;
    const ArgParser& options = line.Args();
    Console& console = line.Out();
    if (!line.Positionals().empty()) return line.UsageError("serve takes no arguments");
    std::string error;
    std::optional<ListenAddress> address =
        ListenAddress::Parse(options.Get("listen").value_or("127.0.0.1:8080"), &error);
    if (!address) return line.UsageError(error);
    std::string token = options.Get("token").value_or("");
    if (options.Has("token") && token.empty()) return line.UsageError("--token takes a text that is not empty");
    if (!address->loopback && token.empty()) token = AccessGuard::RandomToken();

    FileArea files(options.Get("out").value_or("."));
    if (!files.Prepare(&error)) {
        console.Error(error);
        return kExitFileError;
    }
    // A viewer that leaves mid-answer must end that answer, not the server.
    std::signal(SIGPIPE, SIG_IGN);
    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), console, true, &exitCode);
    if (!camera) return exitCode;
    if (!camera->StartPreview()) return kExitFailed;

    FrameHub hub(kMaxViewers);
    LiveCamera live(*camera);
    LiveRecording recording(live, files, hub);
    HttpRoutes routes(live, hub, files, recording, AccessGuard(token, address->loopback));
    WebServer server(kServerThreads);
    routes.Install(server.Routes());
    const int port = server.Bind(*address);
    if (port < 0) {
        console.Error("cannot listen on " + options.Get("listen").value_or("127.0.0.1:8080") +
                      ": the address is in use or not this machine's");
        return kExitFileError;
    }
    server.Start();
    const std::string url = address->Url(port);
    console.Out("serving camera " + std::to_string(camera->Index()) + " (" + camera->Name(camera->Index()) + ") at " +
                url + (token.empty() ? "" : "?token=" + token));
    if (address->host == "0.0.0.0" || address->host == "::") {
        console.Out("(from other machines, put this machine's name or address in place of " + address->host + ")");
    }
    if (!token.empty()) console.Out("control requests and files need the token " + token);
    console.Out("files go to " + files.Folder().string() + "; Ctrl-C stops");

    bool ended = false;
    while (true) {
        WaitResult result = camera->Pump(std::chrono::hours(1), [&](const CALIDRA_MSG* msg) {
            // The frame id travels as its 32-bit value.
            if (msg != nullptr && msg->message == WM_CAMERA_FRAME) hub.Publish(static_cast<std::uint32_t>(msg->lParam));
            return false;
        });
        if (result == WaitResult::kInterrupted) break;
        if (result == WaitResult::kStreamEnded && !ended) {
            console.Error("the stream ended: " + ErrorCodes::Describe(ERR_STREAM_END) + "; still serving until Ctrl-C");
            hub.StreamEnded();
            ended = true;
        }
    }
    hub.Stop();
    server.Stop();
    const bool wasRecording = recording.Current().active;
    recording.Abandon();
    // Closing ends the acquisition loop, which finishes an open recording.
    camera->StopPreview();
    if (wasRecording) console.Out("finished the recording " + recording.Current().file);
    console.Out("stopped by Ctrl-C");
    return kExitOk;
}

}  // namespace calidra::tool
