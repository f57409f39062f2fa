// Records live frames: a raw stream, an AVI video or a temperature stream. It
// holds the writers and the recording state of one acquisition thread: the
// kind and name of the open recording and how many files it has filled, so
// that a long recording goes on in name_1.ext, name_2.ext ...
//
// Everything here runs in the acquisition thread; the client only changes the
// requested kind and path, which the caller reads and passes in at each frame.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "output/AviWriter.h"
#include "output/FrameStreamWriter.h"
#include "platform/Clock.h"

namespace calidra {

class DibImage;
class ThermoTable;

// What a recording takes from the newest frame.
struct RecordingFrame {
    const DibImage* raw = nullptr;        // 16-bit levels: kinds 1 and 3
    const DibImage* colour = nullptr;     // 24-bit picture: kind 2
    const ThermoTable* thermo = nullptr;  // the active thermo table: kind 3
    bool flip = false;                    // rows last first in every kind
};

class Recorder {
public:
    static constexpr int kNone = 0;
    static constexpr int kRawStream = 1;
    static constexpr int kAvi = 2;
    static constexpr int kTemperatureStream = 3;

    using ClockFunction = std::uint32_t (*)();

    // clock gives the milliseconds from which the recorded rate is measured.
    explicit Recorder(ClockFunction clock = &Clock::TimeMs);
    // Closes an open recording as Stop does, so an AVI keeps a valid index.
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The acquisition loop's three moments. Start and AfterFrame return false
    // when a recording file could not be opened (the caller reports a file
    // error); the kind then stays open and appending does nothing until the
    // client changes the kind or the path.
    //
    // At the loop's start: opens the requested recording (kind 0: none).
    bool Start(int recordKind, const wchar_t* recordPath, const RecordingFrame& frame);
    // After each stored frame: appends it to the open recording and starts the
    // next numbered file once the size limit (whole MiB, unsigned: a negative
    // limit never splits, 0 splits after every frame) or the 4 GiB bound of an
    // AVI is reached; or, when the kind or path changed, closes the recording
    // and opens the new one under its own name. A frame the file cannot take
    // (a full disk) also returns false, once: the file is finished at once with
    // the frames it holds, and nothing more is written until the client
    // changes the kind or the path, as after a failed open (which is not
    // retried at the size limit either).
    bool AfterFrame(int recordKind, const wchar_t* recordPath, std::int32_t fileLimitMiB, const RecordingFrame& frame);
    // After the loop: closes the open recording.
    void Stop();

    // The operations the loop's moments are made of.
    // 1 when the file of kind (1 to 3) was created; 0 for another kind, a
    // missing image or a file that cannot be created.
    int OpenRecording(int kind, const wchar_t* name, const RecordingFrame& frame);
    // Writes the frame to the open file of kind; nothing when none is open.
    // false when a write failed.
    bool AppendRecordingFrame(int kind, const RecordingFrame& frame);
    // Closes kind's file, finishing an AVI with the measured rate. 1 for kinds
    // 1 to 3, 0 (nothing changed) otherwise.
    int CloseRecording(int kind);

    // Bytes of the open AVI after its RIFF size field; 0 when none is open.
    std::uint32_t RiffBytes() const { return avi_.RiffBytes(); }
    // Clock reading when the current file was opened; 0 when none is open.
    // These two may be read from any thread.
    std::uint32_t RecordStart() const { return recordStart_.load(); }
    bool IsFileOpen() const { return fileOpen_.load(); }
    // The kind the loop treats as open (it stays after a failed open).
    int OpenKind() const { return openKind_; }
    // Files closed for the size limit in the current recording.
    unsigned SplitCount() const { return splitCount_; }

private:
    bool OpenNext(int recordKind, const wchar_t* recordPath, const RecordingFrame& frame);
    bool LimitReached(std::int32_t fileLimitMiB) const;
    std::uint32_t MeasuredRate() const;

    ClockFunction clock_;
    AviWriter avi_;
    FrameStreamWriter stream_;
    std::vector<std::uint8_t> flipped_;  // an AVI frame in reversed row order
    std::atomic<std::uint32_t> recordStart_{0};
    std::atomic<bool> fileOpen_{false};

    int openKind_ = kNone;
    std::wstring openedName_;
    unsigned splitCount_ = 0;
    // The open kind's file could not be opened or refused a frame: nothing is
    // tried again until the kind or the path changes.
    bool refused_ = false;
};

}  // namespace calidra
