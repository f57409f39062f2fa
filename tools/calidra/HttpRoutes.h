// The HTTP interface of calidra serve: the page, the camera's state and
// frames, the controls, the files, and the MJPEG stream.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "AccessGuard.h"
#include "FileArea.h"
#include "FrameHub.h"
#include "LiveCamera.h"
#include "LiveRecording.h"
#include "MjpegStreamer.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace calidra::tool {

class HttpRoutes {
public:
    // A frame poll waits this long for a newer frame before it answers 204.
    static constexpr std::chrono::milliseconds kFrameWait{1000};

    HttpRoutes(LiveCamera& camera, FrameHub& hub, FileArea& files, LiveRecording& recording, AccessGuard guard);

    void Install(httplib::Server& server);

private:
    // False after answering 403 when the request may not control the camera.
    bool MayControl(const httplib::Request& request, httplib::Response& response) const;

    void Page(const httplib::Request& request, httplib::Response& response) const;
    void Status(httplib::Response& response);
    void Frame(const httplib::Request& request, httplib::Response& response);
    void Palette(httplib::Response& response) const;
    void Nuc(const httplib::Request& request, httplib::Response& response);
    void Param(const httplib::Request& request, httplib::Response& response);
    void Snapshot(const httplib::Request& request, httplib::Response& response);
    void Record(const httplib::Request& request, httplib::Response& response);
    void Files(const httplib::Request& request, httplib::Response& response);
    void File(const httplib::Request& request, httplib::Response& response);
    void Stream(httplib::Response& response);

    LiveCamera& camera_;
    FrameHub& hub_;
    FileArea& files_;
    LiveRecording& recording_;
    const AccessGuard guard_;
    MjpegStreamer streamer_;
    const std::string palette_;
    // When the latest calibration was asked for here (steady clock, ms).
    std::atomic<long long> nucAskedMs_{-1};
    // The internal temperature is a register exchange with the camera, so many
    // viewers share one reading a second. Guarded by the camera's call lock.
    struct Reading {
        long long atMs = -1;
        int ok = 0;
        float celsius = 0;
    } internal_;
};

}  // namespace calidra::tool
