#include "Camera.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "Catalog.h"
#include "ErrorCodes.h"
#include "ExitCode.h"
#include "Numbers.h"
#include "calidra_sim.h"

namespace calidra::tool {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kCameraCount = 8;

}  // namespace

Camera::Camera(Console& console, HWND window, unsigned long handle)
    : console_(console), window_(window), handle_(handle) {}

Camera::~Camera() {
    // Release stops acquisition and finishes an open recording; the window
    // goes last, since the acquisition thread posts to it until then.
    Calidra_Release(handle_);
    CalidraWindow_Destroy(window_);
}

std::unique_ptr<Camera> Camera::Open(const CameraOptions& options, Console& console, bool needCamera, int* exitCode) {
    *exitCode = kExitFailed;
    // The virtual cameras must be shaped before the instance probes them.
    if (!ApplySimOptions(options, console, exitCode)) return nullptr;
    HWND window = CalidraWindow_Create();
    if (window == nullptr) {
        console.Error("CalidraWindow_Create failed: no message window for the library's messages");
        return nullptr;
    }
    unsigned long handle = Calidra_Initialize(window);
    if (handle == 0) {
        console.Error("Calidra_Initialize failed: the library could not create an instance");
        CalidraWindow_Destroy(window);
        return nullptr;
    }
    std::unique_ptr<Camera> camera(new Camera(console, window, handle));
    if (!camera->SelectCamera(options, needCamera, exitCode)) return nullptr;
    if (!camera->ApplySettings(options)) {
        *exitCode = kExitFailed;
        return nullptr;
    }
    *exitCode = kExitOk;
    return camera;
}

bool Camera::ApplySimOptions(const CameraOptions& options, Console& console, int* exitCode) {
    if (options.simCameras) {
        for (int index = 0; index < kCameraCount; ++index) {
            bool present =
                std::find(options.simCameras->begin(), options.simCameras->end(), index) != options.simCameras->end();
            if (!CalidraSim_SetPresent(index, present ? 1 : 0)) {
                console.Error("CalidraSim_SetPresent failed for camera " + std::to_string(index));
                return false;
            }
        }
    }
    if (options.simFps) {
        for (int index = 0; index < kCameraCount; ++index) {
            if (!CalidraSim_SetFrameRate(index, *options.simFps)) {
                console.Error("CalidraSim_SetFrameRate failed for camera " + std::to_string(index));
                return false;
            }
        }
    }
    if (options.simFrame) {
        std::ifstream file(*options.simFrame, std::ios::binary);
        std::vector<unsigned char> bytes;
        if (file) bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        if (!file.good() && !file.eof()) bytes.clear();
        const std::size_t frameBytes = std::size_t{kWidth} * kHeight * 2;
        if (bytes.size() != frameBytes) {
            *exitCode = kExitFileError;
            console.Error("--sim-frame " + *options.simFrame + ": " +
                          (file ? "holds " + std::to_string(bytes.size()) + " bytes, not the " +
                                      std::to_string(frameBytes) + " of one raw frame"
                                : std::string("cannot be read")));
            return false;
        }
        // The file holds the bottom row first, as the library's raw files do;
        // the camera sends sensor line 0 (the top row) first.
        std::vector<unsigned short> pixels(std::size_t{kWidth} * kHeight);
        for (int row = 0; row < kHeight; ++row) {
            const unsigned char* source = bytes.data() + std::size_t(kHeight - 1 - row) * kWidth * 2;
            for (int column = 0; column < kWidth; ++column) {
                pixels[std::size_t(row) * kWidth + column] =
                    static_cast<unsigned short>(source[2 * column] | (source[2 * column + 1] << 8));
            }
        }
        for (int index = 0; index < kCameraCount; ++index) {
            if (!CalidraSim_SetFrame(index, pixels.data())) {
                console.Error("CalidraSim_SetFrame failed for camera " + std::to_string(index));
                return false;
            }
        }
    }
    return true;
}

bool Camera::SelectCamera(const CameraOptions& options, bool needCamera, int* exitCode) {
    int wanted = -1;
    if (options.camera) {
        wanted = *options.camera;
    } else {
        for (int index = 0; index < kCameraCount && wanted < 0; ++index) {
            if (!Name(index).empty()) wanted = index;
        }
    }
    ForgetCodes();
    if (wanted < 0) {
        if (!needCamera) return true;
        console_.Error("no camera is present");
        *exitCode = kExitNoCamera;
        return false;
    }
    if (wanted != 0 || options.camera) {
        if (!Calidra_SetCameraNumber(handle_, wanted)) {
            if (!needCamera) return true;
            console_.Error("camera " + std::to_string(wanted) + " cannot be used");
            ReportFailure("Calidra_SetCameraNumber");
            *exitCode = kExitNoCamera;
            return false;
        }
    }
    index_ = wanted;
    return true;
}

bool Camera::ApplySettings(const CameraOptions& options) {
    std::vector<std::pair<int, int>> settings = options.settings;
    bool autoNucGiven =
        std::any_of(settings.begin(), settings.end(), [](auto& s) { return s.first == CALIDRA_PARAM_AUTO_NUC; });
    if (options.simFrame && !autoNucGiven) settings.insert(settings.begin(), {CALIDRA_PARAM_AUTO_NUC, 0});
    for (auto [id, value] : settings) {
        ForgetCodes();
        if (!Calidra_SetParam(handle_, id, value)) {
            const Parameter* parameter = Catalog::FindParameter(id);
            console_.Error("setting parameter " + std::to_string(id) +
                           (parameter ? " (" + std::string(parameter->name) + ")" : std::string()) + " to " +
                           std::to_string(value) + " was refused");
            ReportFailure("Calidra_SetParam");
            return false;
        }
    }
    return true;
}

std::string Camera::Name(int index) const {
    char name[32] = {};
    int present = Calidra_IsCameraEnableA(handle_, index, name, static_cast<int>(sizeof name));
    return present ? std::string(name) : std::string();
}

void Camera::ForgetCodes() {
    while (Calidra_GetLastError(handle_) != 0) {
    }
}

std::string Camera::ReportFailure(std::string_view call, std::initializer_list<int> events) {
    std::vector<int> codes;
    for (int code = Calidra_GetLastError(handle_); code != 0; code = Calidra_GetLastError(handle_)) {
        if (std::find(events.begin(), events.end(), code) == events.end()) codes.push_back(code);
    }
    if (codes.empty()) {
        std::string message = std::string(call) + " failed (the library recorded no error code)";
        console_.Error(message);
        return message;
    }
    // The stack gives the newest first; the story reads better oldest first.
    std::string report;
    for (auto code = codes.rbegin(); code != codes.rend(); ++code) {
        std::string message = std::string(call) + " failed: " + ErrorCodes::Describe(*code);
        console_.Error(message);
        report += (report.empty() ? "" : "; ") + message;
    }
    return report;
}

void Camera::ForgetMessages() {
    CALIDRA_MSG msg;
    while (CalidraWindow_WaitMessage(window_, &msg, 0) == 1) {
    }
}

bool Camera::StartPreview() {
    ForgetCodes();
    ForgetMessages();
    if (Calidra_Preview(handle_)) return true;
    // Every start of live acquisition records ERR_UNSUPPORTED as an event.
    ReportFailure("Calidra_Preview", {ERR_UNSUPPORTED});
    return false;
}

void Camera::StopPreview() { Calidra_Close(handle_); }

WaitResult Camera::Pump(std::chrono::milliseconds timeout, const std::function<bool(const CALIDRA_MSG*)>& handler) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    Clock::time_point nextTick = Clock::now();
    while (true) {
        if (Interrupt::Requested()) return WaitResult::kInterrupted;
        Clock::time_point now = Clock::now();
        if (now >= nextTick) {
            if (handler(nullptr)) return WaitResult::kDone;
            nextTick = now + std::chrono::milliseconds(100);
        }
        if (now >= deadline) return WaitResult::kTimeout;
        auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(std::min(deadline, nextTick) - now);
        CALIDRA_MSG msg;
        int got = CalidraWindow_WaitMessage(window_, &msg, static_cast<unsigned long>(slice.count()) + 1);
        if (got < 0) return WaitResult::kStreamEnded;
        if (got == 0) continue;
        if (handler(&msg)) return WaitResult::kDone;
        if (msg.message == WM_CAMERA_ERROR && msg.lParam == ERR_STREAM_END) return WaitResult::kStreamEnded;
    }
}

bool Camera::WaitFrames(int count, std::chrono::milliseconds timeout, int* exitCode) {
    int frames = 0;
    WaitResult result = Pump(timeout, [&](const CALIDRA_MSG* msg) {
        if (msg != nullptr && msg->message == WM_CAMERA_FRAME) ++frames;
        return frames >= count;
    });
    switch (result) {
        case WaitResult::kDone:
            return true;
        case WaitResult::kInterrupted:
            console_.Error("interrupted");
            *exitCode = kExitInterrupted;
            return false;
        case WaitResult::kStreamEnded:
            console_.Error("the stream ended: " + ErrorCodes::Describe(ERR_STREAM_END));
            *exitCode = kExitNoFrames;
            return false;
        case WaitResult::kTimeout:
            break;
    }
    console_.Error("only " + std::to_string(frames) + " of " + std::to_string(count) + " frames arrived within " +
                   Numbers::Fixed(timeout.count() / 1000.0, 1) + " s");
    ReportFailure("live acquisition");
    *exitCode = kExitNoFrames;
    return false;
}

bool Camera::Calibrate(int* exitCode, long long* resumedMs) {
    ForgetMessages();
    auto start = std::chrono::steady_clock::now();
    Calidra_Nuc(handle_);
    // Frames stop for the hold-off while the shutter is closed; three in a
    // row after it show that the new correction is in use.
    if (!WaitFrames(3, std::chrono::seconds(15), exitCode)) return false;
    *resumedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    return true;
}

}  // namespace calidra::tool
