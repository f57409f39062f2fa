#include "LiveCamera.h"

#include <vector>

#include "JpegPicture.h"
#include "ViewerFrame.h"

namespace calidra::tool {

namespace {

constexpr int kPixels = ViewerFrame::kWidth * ViewerFrame::kHeight;
constexpr int kJpegQuality = 80;

}  // namespace

std::shared_ptr<const std::string> LiveCamera::Frame(unsigned long id, FrameFormat format) {
    Cached& cached = cache_[static_cast<int>(format)];
    {
        std::lock_guard<std::mutex> guard(cacheLock_);
        if (cached.id == id && cached.bytes) return cached.bytes;
    }
    // Two requests for a new frame may both encode it; neither waits for the other.
    std::shared_ptr<const std::string> bytes = Read(id, format);
    if (bytes) {
        std::lock_guard<std::mutex> guard(cacheLock_);
        cached = {id, bytes};
    }
    return bytes;
}

std::shared_ptr<const std::string> LiveCamera::Read(unsigned long id, FrameFormat format) {
    if (format == FrameFormat::kTemperatures) {
        std::vector<float> celsius(kPixels);
        bool topRowFirst = false;
        const bool read = Call([&](Camera& camera) {
            topRowFirst = Calidra_GetParam(camera.Handle(), CALIDRA_PARAM_FLIP_DISPLAY) != 0;
            return Calidra_GetTemperature(camera.Handle(), id, celsius.data(), sizeof(float) * kPixels) != 0;
        });
        if (!read) return nullptr;
        return std::make_shared<const std::string>(ViewerFrame::FromTemperatures(id, celsius.data(), topRowFirst));
    }
    std::vector<unsigned char> bgr(std::size_t{kPixels} * 3);
    bool topRowFirst = false;
    const bool read = Call([&](Camera& camera) {
        topRowFirst = Calidra_GetParam(camera.Handle(), CALIDRA_PARAM_FLIP_DISPLAY) != 0;
        return Calidra_GetColor(camera.Handle(), id, bgr.data(), static_cast<unsigned long>(bgr.size())) != 0;
    });
    if (!read) return nullptr;
    std::string frame = ViewerFrame::FromColour(id, bgr.data(), topRowFirst);
    if (format == FrameFormat::kColour) return std::make_shared<const std::string>(std::move(frame));
    std::string jpeg =
        JpegPicture::Encode(reinterpret_cast<const unsigned char*>(frame.data()) + ViewerFrame::kHeaderBytes,
                            ViewerFrame::kWidth, ViewerFrame::kHeight, kJpegQuality);
    if (jpeg.empty()) return nullptr;
    return std::make_shared<const std::string>(std::move(jpeg));
}

}  // namespace calidra::tool
