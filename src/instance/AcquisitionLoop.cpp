// Live acquisition: preparing the ring and the device, the acquisition thread
// and its loop, pausing, and stopping.
#include <cstdlib>

#include "instance/CCalidra.h"
#include "platform/Clock.h"
#include "platform/WindowMessages.h"

namespace calidra {

namespace {

// Frame ids and calibration starts use 0 for "none".
std::uint32_t NonZeroTime() {
    const std::uint32_t now = Clock::TimeMs();
    return now == 0 ? 1 : now;
}

// While the stream is stopped the device answers at once; a pause keeps the
// loop from spinning when the client asked for no sleep at all.
constexpr std::uint32_t kIdleWaitMs = 10;
// The longest a pass's sleep waits for the device's next frame before it
// sleeps on its own, and the longest sleep that waits for one at all (a longer
// one finds the frame ready when it ends).
constexpr std::uint32_t kFrameAwaitMs = 100;

}  // namespace

int CCalidra::Preview() {
    std::lock_guard<std::mutex> guard(controlLock_);
    if (StartPreview()) return 1;
    StopAcquisition();
    return 0;
}

int CCalidra::Prepare() {
    if (!device_.IsDevicePresent(device_.GetDeviceIndex())) {
        SetError(ERR_CAMERA);
        return 0;
    }
    if (frameRing_.Empty()) frameRing_.Resize(ringLength_.load());
    if (!frameRing_.CreateImages(kWidth, kHeight)) {
        SetError(ERR_MEMORY);
        return 0;
    }
    scratchImage_.Create(kWidth, kHeight, 16);
    device_.SetWindow(0, 0, kWidth, kHeight, 0);
    device_.SetTransferMode(1);
    return 1;
}

int CCalidra::StartPreview() {
    if (state_ == AcquisitionState::kPreviewing) return 1;
    if (!Prepare()) return 0;
    SetAutoNuc(autoNuc_.load());
    // The temperature range cannot be chosen on this camera: re-applying it
    // posts ERR_UNSUPPORTED at every start, which clients expect.
    SetTemperatureRange(tempRange_.load());
    // The stream starts before the thread, so the loop never asks the device
    // for frames of a stream still being set up.
    device_.SetTriggerMode(0);
    if (device_.StartStream() != FrameTransfer::kOk) {
        SetError(ERR_DEVICE);
        return 0;
    }
    state_ = AcquisitionState::kPreviewing;
    stateShown_.store(state_);
    running_.store(1);
    wake_.Reset();
    if (!thread_.Start([this] { AcquisitionLoop(); })) {
        SetError(ERR_THREAD);
        return 0;
    }
    return 1;
}

int CCalidra::StopAcquisition() {
    running_.store(0);
    wake_.Set();
    thread_.Join();
    if (state_ == AcquisitionState::kIdle) return 1;
    state_ = AcquisitionState::kIdle;
    stateShown_.store(state_);
    device_.SetTriggerMode(0);
    if (device_.StopStream() != FrameTransfer::kOk) {
        SetError(ERR_DEVICE);
        return 0;
    }
    return 1;
}

int CCalidra::Start() {
    paused_.store(0);
    return 1;
}

int CCalidra::Pause() {
    paused_.store(1);
    return 1;
}

std::uint32_t CCalidra::GetNewId() { return frameRing_.NewestId(); }

void CCalidra::AcquisitionLoop() {
    frameCount_ = 0;
    rateStart_ = Clock::TimeMs();
    std::wstring path;
    int kind = RecordingWish(path);
    // Parameter 7 shows the file's state before the client hears of a failure.
    const bool started = recorder_.Start(kind, path.c_str(), NewestRecordingFrame());
    recordStart_.store(recorder_.RecordStart());
    if (!started) SetError(ERR_FILE);

    bool streamEnded = false;
    while (running_.load() != 0) {
        const int sleepMs = sleepMs_.load();
        if (sleepMs > 0) {
            // The sleep first waits for the device's next frame: when frames
            // come further apart than the sleep, the frame ends the sleep
            // instead of the sleep ending first and the frame wait following,
            // one wake-up a frame instead of two, and no frame waits out a
            // sleep. The rest, if any, is cut short by StopAcquisition.
            const std::uint32_t start = Clock::TimeMs();
            if (static_cast<std::uint32_t>(sleepMs) < kFrameAwaitMs) device_.AwaitFrame(kFrameAwaitMs);
            const std::uint32_t waited = Clock::TimeMs() - start;
            if (waited < static_cast<std::uint32_t>(sleepMs)) wake_.Wait(static_cast<std::uint32_t>(sleepMs) - waited);
        }
        if (running_.load() != 1) continue;
        if (autoNuc_.load() != 0) AutomaticCalibration();

        const FrameTransfer::Result waited = device_.WaitFrame();
        if (waited == FrameTransfer::kFailed) {
            running_.store(0);
            streamEnded = true;
            break;
        }
        if (waited != FrameTransfer::kFrameReady) {
            if (waited == FrameTransfer::kOk && sleepMs <= 0) wake_.Wait(kIdleWaitMs);
            continue;
        }
        if (paused_.load() != 0) {
            // The frame stays unread; on resuming the device hands out the newest.
            wake_.Wait(kIdleWaitMs);
            continue;
        }
        if (InHoldOff()) {
            // The shutter is closed or the calibration is settling: the frame
            // still feeds the calibration, but nobody sees it.
            device_.ReadStreamFrame(reinterpret_cast<std::uint16_t*>(scratchImage_.Bits()));
            continue;
        }

        std::uint32_t id = 0;
        if (!StoreFrame(id)) continue;
        UpdateFrameRate();
        kind = RecordingWish(path);
        const bool recorded = recorder_.AfterFrame(kind, path.c_str(), fileLimitMiB_.load(), NewestRecordingFrame());
        recordStart_.store(recorder_.RecordStart());
        if (!recorded) SetError(ERR_FILE);
        HWND window = clientWindow_.load();
        if (window != nullptr) WindowMessages::Post(window, WM_CAMERA_FRAME, 0, id);
    }

    recorder_.Stop();
    recordStart_.store(0);
    // Told only once the recording is finished: a client that opens the file
    // on hearing of the end finds it whole.
    if (streamEnded) SetError(ERR_STREAM_END);
}

void CCalidra::AutomaticCalibration() {
    const std::uint32_t now = Clock::TimeMs();
    if (now - lastTempCheck_.load() <= kTemperatureCheckMs) return;
    int raw = 0;
    // A failed read is no change of temperature: it must not start a calibration.
    if (ReadInternalRaw(raw)) {
        const int tenths = static_cast<int>(static_cast<double>(InternalTemperatureOf(raw)) * 10.0);
        if (tenths != lastTempTenths_.load()) {
            device_.RequestShutterNuc(kCalibrationFrames);
            lastTempTenths_.store(tenths);
            nucStart_.store(NonZeroTime());
        }
    }
    lastTempCheck_.store(now);
}

bool CCalidra::InHoldOff() const {
    const std::uint32_t start = nucStart_.load();
    return start != 0 && Clock::TimeMs() - start < nucHoldOffMs_.load();
}

bool CCalidra::StoreFrame(std::uint32_t& id) {
    std::unique_lock<std::mutex> position(frameRing_.PositionLock());
    if (frameRing_.Empty()) return false;
    const int next = frameRing_.NextPosition();
    FrameSlot& slot = frameRing_.Slot(next);
    std::unique_lock<std::mutex> content(slot.contentLock);
    const std::uint32_t newId = Clock::TimeMs() * static_cast<std::uint32_t>(std::rand()) + 1u;
    // The slot's old frame is being overwritten: its id must no longer find it.
    slot.id.store(0);
    const std::size_t frameBytes =
        static_cast<std::size_t>(device_.WindowWidth()) * static_cast<std::size_t>(device_.WindowHeight()) * 2u;
    if (slot.raw.ImageSize() < frameBytes ||
        device_.ReadStreamFrame(reinterpret_cast<std::uint16_t*>(slot.raw.Bits())) != FrameTransfer::kOk) {
        content.unlock();
        position.unlock();
        SetError(ERR_FRAME);
        return false;
    }
    if (InHoldOff()) return false;
    slot.id.store(newId);
    frameRing_.SetPosition(next);
    position.unlock();
    // Readers of the new id wait on the content lock until the colours are in.
    colourMap_.Colourise(slot.raw, slot.colour, range_);
    id = newId;
    return true;
}

void CCalidra::UpdateFrameRate() {
    ++frameCount_;
    const std::uint32_t elapsed = Clock::TimeMs() - rateStart_;
    if (elapsed <= 1000) return;
    frameRate_.store(static_cast<int>(static_cast<double>(frameCount_) * 100000.0 / static_cast<double>(elapsed)));
    frameCount_ = 0;
    rateStart_ = Clock::TimeMs();
}

}  // namespace calidra
