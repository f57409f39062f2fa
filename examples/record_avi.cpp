// record_avi.cpp - recording with a clean stop, in C++.
//
// Records live frames into an AVI file until the time is up or Ctrl-C is
// pressed, and stops so that the file is finished: its header, index and
// sizes written, ready for any video player.
//
//   example-record-avi [FILE [SECONDS]]   (default recording.avi, 5 s; 0 s: until Ctrl-C)
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "calidra.h"

namespace {

// Set by Ctrl-C. A lock-free atomic is one of the few things a signal handler may touch.
std::atomic<bool> stopRequested{false};

extern "C" void OnSignal(int) { stopRequested = true; }

// The message window and the instance, each given back by its destructor, so
// that every way out of main stops acquisition and finishes the file.
class MessageWindow {
public:
    MessageWindow() : window_(CalidraWindow_Create()) {}
    ~MessageWindow() { CalidraWindow_Destroy(window_); }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_;
};

class CameraInstance {
public:
    explicit CameraInstance(HWND window) : handle_(Calidra_Initialize(window)) {}
    // Release stops acquisition, and the acquisition loop finishes an open
    // recording as it ends.
    ~CameraInstance() { Calidra_Release(handle_); }
    CameraInstance(const CameraInstance&) = delete;
    CameraInstance& operator=(const CameraInstance&) = delete;
    unsigned long Get() const { return handle_; }

private:
    unsigned long handle_;
};

// Frames in a finished AVI file of the library: the total-frames field of its main header.
long FramesInAvi(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[52] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return -1;
    return long(header[48]) | long(header[49]) << 8 | long(header[50]) << 16 | long(header[51]) << 24;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "recording.avi";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 5.0;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    MessageWindow window;
    CameraInstance camera(window.Get());
    if (window.Get() == nullptr || camera.Get() == 0) {
        std::fprintf(stderr, "could not create the window or the instance\n");
        return 1;
    }
    if (!Calidra_Preview(camera.Get())) {
        std::fprintf(stderr, "Calidra_Preview failed, code %d\n", Calidra_GetLastError(camera.Get()));
        return 1;
    }

    // A new instance calibrates its shutter first and holds frames back for
    // parameter 10's 1.2 s; start recording once frames flow.
    CALIDRA_MSG msg;
    do {
        if (CalidraWindow_WaitMessage(window.Get(), &msg, 10000) != 1) {
            std::fprintf(stderr, "no frame came\n");
            return 1;
        }
    } while (msg.message != WM_CAMERA_FRAME);

    // Recording is a wish the acquisition loop acts on at its next frame: it
    // opens the file then and appends every frame after it.
    Calidra_RecA(camera.Get(), path.c_str(), CALIDRA_RECORD_AVI);
    std::printf("recording into %s%s\n", path.c_str(), seconds > 0 ? "" : "; Ctrl-C stops");

    const auto start = std::chrono::steady_clock::now();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    bool failed = false;
    while (!stopRequested && !failed && (seconds <= 0 || elapsed() < seconds)) {
        // A short wait keeps Ctrl-C and the clock noticed.
        if (CalidraWindow_WaitMessage(window.Get(), &msg, 100) != 1) continue;
        if (msg.message == WM_CAMERA_ERROR && (msg.lParam == ERR_FILE || msg.lParam == ERR_STREAM_END)) {
            std::fprintf(stderr, "%s\n", msg.lParam == ERR_FILE ? "the file cannot be written" : "the stream ended");
            failed = true;
        }
    }

    // The clean stop: kind 0 makes the loop finish the file at its next
    // frame, and parameter 7 falls to 0 once it has.
    Calidra_RecA(camera.Get(), path.c_str(), CALIDRA_RECORD_NONE);
    const auto stopAsked = std::chrono::steady_clock::now();
    while (Calidra_GetParam(camera.Get(), CALIDRA_PARAM_RECORDING) != 0 &&
           std::chrono::steady_clock::now() - stopAsked < std::chrono::seconds(5)) {
        CalidraWindow_WaitMessage(window.Get(), &msg, 50);
    }
    // Closing would also have finished it: acquisition that ends closes its recording.
    Calidra_Close(camera.Get());

    long frames = FramesInAvi(path);
    std::printf("%s: %ld frames in %.1f s%s\n", path.c_str(), frames, elapsed(), stopRequested ? " (Ctrl-C)" : "");
    return failed || frames <= 0 ? 1 : 0;
}
