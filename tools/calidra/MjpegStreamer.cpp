#include "MjpegStreamer.h"

#include <httplib.h>

namespace calidra::tool {

namespace {

constexpr const char* kBoundary = "calidraframe";
// While no frame comes (a calibration, a stopped stream) the last picture is
// sent again this often, so players keep the connection and a viewer that
// left is noticed.
constexpr std::chrono::milliseconds kRepeat(1000);

}  // namespace

void MjpegStreamer::Answer(httplib::Response& response, FrameHub::Ticket ticket) {
    auto place = std::make_shared<FrameHub::Ticket>(std::move(ticket));
    response.set_header("Cache-Control", "no-store");
    // No length and no chunks: the parts run until the connection closes,
    // which is what the simplest MJPEG readers expect.
    response.set_content_provider(
        std::string("multipart/x-mixed-replace; boundary=") + kBoundary,
        [this, place](std::size_t, httplib::DataSink& sink) {
            const std::string boundary = std::string("--") + kBoundary + "\r\n";
            if (!sink.write(boundary.data(), boundary.size())) return false;
            unsigned long shown = 0;
            std::shared_ptr<const std::string> jpeg;
            while (!hub_.Stopped()) {
                FrameHub::Newest newest = hub_.WaitNewer(shown, kRepeat, [&] { return !sink.is_writable(); });
                if (!sink.is_writable()) return false;
                if (newest.id != 0 && newest.id != shown) {
                    if (auto picture = camera_.Frame(newest.id, FrameFormat::kJpeg)) jpeg = picture;
                    shown = newest.id;
                }
                if (!jpeg || hub_.Stopped()) continue;
                // Browsers paint a part when the next boundary arrives, so it
                // follows each picture at once.
                const std::string head =
                    "Content-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg->size()) + "\r\n\r\n";
                const std::string tail = "\r\n" + boundary;
                if (!sink.write(head.data(), head.size()) || !sink.write(jpeg->data(), jpeg->size()) ||
                    !sink.write(tail.data(), tail.size())) {
                    return false;
                }
            }
            return false;
        });
}

}  // namespace calidra::tool
