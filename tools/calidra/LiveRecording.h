// The recording that the viewer's record button starts and stops: one at a
// time, into a file named by the file area.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "Catalog.h"
#include "FileArea.h"
#include "FrameHub.h"
#include "LiveCamera.h"

namespace calidra::tool {

class LiveRecording {
public:
    struct State {
        bool active = false;
        std::string kind;  // "avi", ... of the latest recording
        std::string file;  // its name in the file area
        double seconds = 0;
        long long frames = 0;
        long long bytes = 0;
        std::string error;  // why the latest recording failed
    };

    LiveRecording(LiveCamera& camera, FileArea& files, FrameHub& hub) : camera_(camera), files_(files), hub_(hub) {}

    enum class Result {
        kDone,
        kConflict,  // a recording runs already, or none runs to stop
        kFailed     // the file could not be opened
    };

    // Returns once the file is open (or could not be), as far as frames flow;
    // on failure with a message in *error.
    Result Start(const RecordKind& kind, std::string* error);
    // Returns once the file is finished, as far as frames flow.
    Result Stop(std::string* error);
    // At the server's end: asks the library to finish the file, which it does
    // when acquisition stops.
    void Abandon();
    State Current();

private:
    // The library opens and closes the file at a frame; the first frame
    // announced after the request may come from a pass that began before it.
    // False when the two did not come.
    bool WaitTwoFrames();
    bool LibraryRecording();

    LiveCamera& camera_;
    FileArea& files_;
    FrameHub& hub_;
    std::mutex lock_;  // guards everything below; one start or stop at a time
    bool active_ = false;
    const RecordKind* kind_ = nullptr;
    std::string file_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point stopped_;
    std::string error_;
};

}  // namespace calidra::tool
