// GET /stream.mjpeg: the library's colour pictures as JPEG parts of one
// endless multipart/x-mixed-replace answer, for players and home-automation
// systems that take a URL.
#pragma once

#include <memory>

#include "FrameHub.h"
#include "LiveCamera.h"

namespace httplib {
struct Response;
}

namespace calidra::tool {

class MjpegStreamer {
public:
    MjpegStreamer(FrameHub& hub, LiveCamera& camera) : hub_(hub), camera_(camera) {}

    // Streams until the viewer leaves or the server stops. The ticket is the
    // viewer's place among the long requests and is given back with the answer.
    void Answer(httplib::Response& response, FrameHub::Ticket ticket);

private:
    FrameHub& hub_;
    LiveCamera& camera_;
};

}  // namespace calidra::tool
