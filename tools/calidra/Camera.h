// One camera instance of the library as the tool uses it: a message window,
// the instance handle, the chosen camera, and the waiting for frames. Owns
// both the window and the instance and gives them back in its destructor.
#pragma once

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CameraOptions.h"
#include "Console.h"
#include "calidra.h"

namespace calidra::tool {

enum class WaitResult { kDone, kTimeout, kInterrupted, kStreamEnded };

class Camera {
public:
    // Shapes the virtual camera, then creates the window and the instance,
    // selects the camera and applies the --set parameters. With needCamera
    // false a missing camera is no failure (for listing). On failure the
    // problem is reported and *exitCode says which.
    static std::unique_ptr<Camera> Open(const CameraOptions& options, Console& console, bool needCamera, int* exitCode);
    ~Camera();
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    unsigned long Handle() const { return handle_; }
    HWND Window() const { return window_; }
    int Index() const { return index_; }
    // "CalidraVX_01", or empty when the camera is absent.
    std::string Name(int index) const;

    // Empties the error stack, so that the codes a failing call leaves there
    // are known to be its own.
    void ForgetCodes();
    // Reports "<call> failed: ERR_... (n): meaning" for every code on the
    // stack but the events the call always records (events), and returns
    // what it reported (lines joined by "; ").
    std::string ReportFailure(std::string_view call, std::initializer_list<int> events = {});
    // Drops the messages waiting on the window.
    void ForgetMessages();

    bool StartPreview();
    void StopPreview();

    // Pumps the window's messages until handler returns true (kDone), the
    // timeout passes, Ctrl-C is pressed, or the stream ends (ERR_STREAM_END).
    // The handler also runs without a message (nullptr) about every 100 ms.
    WaitResult Pump(std::chrono::milliseconds timeout, const std::function<bool(const CALIDRA_MSG*)>& handler);
    // Waits for `count` new frames; reports why when they do not come.
    bool WaitFrames(int count, std::chrono::milliseconds timeout, int* exitCode);
    // While previewing: starts a shutter calibration and waits until frames
    // flow again after its hold-off. *resumedMs: how long that took.
    bool Calibrate(int* exitCode, long long* resumedMs);

    Console& Out() { return console_; }

private:
    Camera(Console& console, HWND window, unsigned long handle);
    static bool ApplySimOptions(const CameraOptions& options, Console& console, int* exitCode);
    bool SelectCamera(const CameraOptions& options, bool needCamera, int* exitCode);
    bool ApplySettings(const CameraOptions& options);

    Console& console_;
    HWND window_;
    unsigned long handle_;
    int index_ = -1;
};

}  // namespace calidra::tool
