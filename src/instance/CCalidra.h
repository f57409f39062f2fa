// The object behind one handle: the camera's device object, the ring of
// processed frames, the thermo tables, the palette, the recording writers, the
// acquisition thread and the instance's error stack.
//
// Threads: the client's thread calls the operations; the acquisition thread runs
// AcquisitionLoop while previewing. Lock order: controlLock_ (client
// operations that change the acquisition state) -> the ring's position lock ->
// a slot's content lock -> the device lock, and saveLock_ -> a slot's content
// lock -> the device lock; errorsLock_ and recordLock_ are leaves, held only
// for a push, a pop or a copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "calidra.h"
#include "device/COptivo640ULISSdk.h"
#include "output/Recorder.h"
#include "output/StillPicture.h"
#include "pipeline/ColourMap.h"
#include "pipeline/ColourRange.h"
#include "pipeline/DibImage.h"
#include "pipeline/FrameRing.h"
#include "pipeline/Temperatures.h"
#include "pipeline/ThermoTable.h"
#include "platform/Event.h"
#include "platform/Thread.h"

namespace calidra {

class CCalidra {
public:
    static constexpr std::int32_t kWidth = 640;
    static constexpr std::int32_t kHeight = 480;
    static constexpr int kDefaultRingLength = 30;
    static constexpr int kDefaultSleepMs = 10;
    static constexpr std::uint32_t kDefaultHoldOffMs = 1200;
    static constexpr int kDefaultFileLimitMiB = 2000;
    static constexpr int kCalibrationFrames = 30;
    static constexpr std::uint32_t kTemperatureCheckMs = 30000;
    static constexpr std::uint32_t kTriggerWaitMs = 3000;
    // Bit 2 of status register 7 is the trigger input.
    static constexpr int kRegStatus = 7;
    static constexpr int kTriggerBit = 0x04;
    static constexpr const wchar_t* kCameraBaseName = L"CalidraVX";

    CCalidra();
    // Stops acquisition and joins the thread before anything is freed.
    virtual ~CCalidra();
    CCalidra(const CCalidra&) = delete;
    CCalidra& operator=(const CCalidra&) = delete;

    // Start-up, run once by Calidra_Initialize.
    int Init(HWND window);

    // Error stack and notifications.
    void SetError(int code);
    int GetLastError();
    int SetWindowHandle(HWND window);

    int SelectCamera(int number);
    int GetCameraName(int number, wchar_t* name, int nameSize);
    int Close();

    // Live acquisition. Preview starts it (and closes again when that fails).
    int Preview();
    int Start();
    int Pause();
    std::uint32_t OneShot();
    std::uint32_t Trigger();
    std::uint32_t GetNewId();

    // Readouts of a frame still in the ring.
    int GetRaw(std::uint32_t id, unsigned short* buffer, std::uint32_t size);
    int GetTemperature(std::uint32_t id, float* buffer, std::uint32_t size);
    int GetColor(std::uint32_t id, unsigned char* buffer, std::uint32_t size);
    // The newest slot's images; their pixels may be rewritten by the loop once
    // it comes round to the slot again.
    const DibImage& CurrentRawImage();
    const DibImage& CurrentColourImage();
    // The thermo table parameter 16 selects.
    const ThermoTable& ActiveThermoTable() const;

    // Files.
    int Save(const wchar_t* path, int type);
    int Record(const wchar_t* path, int kind);
    int SaveNucData(const wchar_t* path, FILESAVETYPE type);
    int LoadNucData(const wchar_t* path, FILESAVETYPE type);

    // Parameters and calibration requests.
    int Nuc();
    int SetOffsetValue(unsigned short index, double value);
    double GetOffsetValue(unsigned short index, int* ok);
    int SetThermoTable(unsigned short index, double value);
    double GetThermoTable(unsigned short index, int* ok);
    int SetCameraType(int type);
    int GetParam(int id);
    int SetParam(int id, int value);
    int SetTable(const wchar_t* path);
    float GetInternalTemperature(int* ok);
    int SetAutoNuc(int on);
    int SetTemperatureRange(int range);

    // For tests and benchmarks.
    COptivo640ULISSdk& Device() { return device_; }
    FrameRing& Ring() { return frameRing_; }
    bool AcquisitionThreadRunning() const { return thread_.Joinable(); }

    // Degrees Celsius of a reading of registers 44 and 45, rounded to single precision.
    static float InternalTemperatureOf(int raw);

private:
    // With controlLock_ held.
    int StartPreview();
    int Prepare();
    int StopAcquisition();

    void AcquisitionLoop();
    // The loop's steps.
    void AutomaticCalibration();
    bool InHoldOff() const;
    // Takes the newest device frame into the next slot and colours it; the id
    // stored, or false when the frame was dropped.
    bool StoreFrame(std::uint32_t& id);
    void UpdateFrameRate();
    // The recording wish as one consistent pair.
    int RecordingWish(std::wstring& path);
    RecordingFrame NewestRecordingFrame();
    void StartCalibration();
    // One-shot and trigger after their own checks.
    std::uint32_t CaptureIntoRing();
    // Reads registers 44 and 45; false when either read fails.
    bool ReadInternalRaw(int& raw);
    LevelColumns LevelTableColumns();
    // A readout's shared part: id and size checks, then fill under the slot's
    // content lock.
    template <typename Required, typename Fill>
    int ReadSlot(std::uint32_t id, const void* buffer, std::uint32_t size, Required required, Fill fill);

    COptivo640ULISSdk device_;
    DibImage scratchImage_;  // receives the frames discarded during the hold-off
    FrameRing frameRing_;
    ColourMap colourMap_;  // the palette and the mapping
    ColourRange range_;    // parameters 12, 13, 14
    ThermoTable thermoNormal_;
    ThermoTable thermoHigh_;

    // Serialises the client operations that start, stop or reconfigure
    // acquisition, should a client call them from several threads.
    std::mutex controlLock_;
    enum class AcquisitionState { kIdle = 0, kPreviewing = 1 };
    AcquisitionState state_ = AcquisitionState::kIdle;  // under controlLock_
    std::atomic<AcquisitionState> stateShown_{
        AcquisitionState::kIdle};  // state_ for parameter 5, read without the lock

    std::atomic<int> sleepMs_{kDefaultSleepMs};
    std::atomic<std::uint32_t> nucStart_{0};
    std::atomic<std::uint32_t> nucHoldOffMs_{kDefaultHoldOffMs};
    std::atomic<int> ringLength_{kDefaultRingLength};
    std::atomic<int> autoNuc_{1};
    std::atomic<int> tempRange_{0};
    std::atomic<int> paused_{0};
    std::atomic<int> flipDisplay_{0};
    std::atomic<int> flipFile_{0};
    std::atomic<int> fileLimitMiB_{kDefaultFileLimitMiB};

    // The recording wish: kind and file name set together by the client's
    // thread, read together by the loop.
    std::mutex recordLock_;  // guards recordPath_
    std::atomic<int> recordKind_{0};
    std::wstring recordPath_;
    // The recording writers; used only by the acquisition thread.
    Recorder recorder_;
    std::atomic<std::uint32_t> recordStart_{0};  // the recorder's, for parameter 7

    std::atomic<int> running_{0};
    Thread thread_;
    // Set to cut the loop's sleep short when acquisition stops.
    Event wake_{true, false};
    std::atomic<HWND> clientWindow_{nullptr};

    std::atomic<int> frameRate_{0};  // frames per second x 100
    int frameCount_ = 0;             // the loop's
    std::uint32_t rateStart_;        // the loop's after construction
    std::atomic<std::uint32_t> lastTempCheck_{0};
    std::atomic<int> lastTempTenths_{0};

    // Takes what a still file needs from the newest frame, then writes it;
    // its memory stays for the next save.
    std::mutex saveLock_;  // guards stillWriter_
    StillWriter stillWriter_;

    std::mutex errorsLock_;  // guards errors_: pushed by both threads, popped by the client
    std::deque<std::int32_t> errors_;
};

}  // namespace calidra
