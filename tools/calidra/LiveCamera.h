// The camera of calidra serve, shared by the server's threads. The library
// takes the calls of one instance one at a time, so every call goes through
// Call(). Frames are read and encoded once, for whoever asks first.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "Camera.h"

namespace calidra::tool {

enum class FrameFormat { kTemperatures, kColour, kJpeg };

class LiveCamera {
public:
    explicit LiveCamera(Camera& camera) : camera_(camera) {}

    template <class Work>
    auto Call(Work&& work) {
        std::lock_guard<std::mutex> guard(callLock_);
        return work(camera_);
    }

    // Frame `id` as ViewerFrame bytes (temperatures or colour) or as a JPEG
    // picture. nullptr when the frame has left the library's ring.
    std::shared_ptr<const std::string> Frame(unsigned long id, FrameFormat format);

private:
    struct Cached {
        unsigned long id = 0;
        std::shared_ptr<const std::string> bytes;
    };

    std::shared_ptr<const std::string> Read(unsigned long id, FrameFormat format);

    Camera& camera_;
    std::mutex callLock_;   // one library call at a time
    std::mutex cacheLock_;  // guards cache_
    Cached cache_[3];       // by FrameFormat
};

}  // namespace calidra::tool
