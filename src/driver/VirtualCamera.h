// One simulated camera: its register file, shutter, internal temperature,
// frame pacing, fault plan and command log, and the sensor that renders its
// frames. It knows command packets but nothing of paths, handles or pipes.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "driver/CommandLog.h"
#include "driver/SensorModel.h"
#include "driver/TemperatureDrift.h"
#include "platform/ScratchPool.h"

namespace calidra::sim {

enum class Fault { Open = 1, Ioctl = 2, ShortFrame = 3, Reply = 4 };

class VirtualCamera {
public:
    static constexpr double kDefaultFrameRate = 30.0;

    explicit VirtualCamera(int index);
    VirtualCamera(const VirtualCamera&) = delete;
    VirtualCamera& operator=(const VirtualCamera&) = delete;

    // Power-on state: present only as camera 0, registers at their defaults,
    // shutter open, 30 frames per second, no faults, empty log. The sensor
    // itself (its fixed pattern) is the same after a reset.
    void Reset();

    // Unplugging ends the current connection: a generation taken before then
    // no longer counts as usable, even after the camera is plugged in again.
    void SetPresent(bool present);
    bool IsPresent() const;
    std::uint64_t Generation() const;
    bool IsUsable(std::uint64_t generation) const;

    void InjectFault(Fault fault, int count);
    // true (and one occurrence used up) when the fault is due now.
    bool TakeFault(Fault fault);

    // Carries out a command packet of 64 bytes and logs it. A register read
    // gives its value in *readValue. false for a command the camera does not
    // know, which is neither carried out nor logged.
    bool Execute(const std::uint8_t* packet, int* readValue);

    // Delivers the frame a start-frame packet asked for into out, waiting for
    // the frame time; false when none was asked for or the connection of that
    // generation was lost meanwhile. *bytes is length, or less under a
    // short-frame fault.
    bool ReadFrame(std::uint8_t* out, std::uint32_t length, std::uint32_t* bytes, std::uint64_t generation);
    // Processor time spent rendering and delivering frames, in nanoseconds:
    // the simulation's own share of the time of the thread that reads them,
    // for measurements of the library that must leave it out.
    std::uint64_t FrameNanoseconds() const { return frameNanoseconds_.load(std::memory_order_relaxed); }

    // Control of the simulation.
    void SetFrameRate(double framesPerSecond);
    void SetFixedFrame(const std::uint16_t* pixels);  // null: back to the scene
    void SetRegister(int reg, std::uint8_t value);
    std::uint8_t GetRegister(int reg) const;
    void SetInternalTemperature(std::uint16_t reading);
    int CopyCommandLog(std::uint8_t (*packets)[64], int maxPackets) const;
    void ClearCommandLog();

private:
    using SteadyClock = std::chrono::steady_clock;

    std::atomic<std::uint64_t> frameNanoseconds_{0};

    void ResetLocked();
    void WriteLocked(int reg, std::uint8_t value);
    std::uint8_t ReadLocked(int reg) const;
    std::uint16_t TemperatureLocked() const;
    int BaseLevelLocked() const;
    const SensorModel& Sensor();

    const int index_;

    std::once_flag sensorBuilt_;
    std::unique_ptr<SensorModel> sensor_;  // built at the first frame, kept for good
    ScratchPool<std::uint16_t> scratch_;   // the frames being rendered

    mutable std::mutex stateLock_;  // guards everything below
    bool present_ = false;
    std::uint64_t generation_ = 1;
    std::array<std::uint8_t, 256> registers_{};
    std::uint8_t lastShutterWrite_ = 0;
    bool shutterClosed_ = false;
    std::uint8_t transferModeCommand_ = 1;
    std::uint32_t transferLength_ = 0;
    int pendingFrames_ = 0;
    double frameRate_ = kDefaultFrameRate;
    bool framePaced_ = false;
    SteadyClock::time_point lastFrameTime_{};
    SteadyClock::time_point powerOnTime_{};
    std::uint32_t frameNumber_ = 0;
    std::shared_ptr<const std::vector<std::uint16_t>> fixedFrame_;
    TemperatureDrift temperature_;
    std::array<int, 5> faultsDue_{};
    CommandLog log_;
};

}  // namespace calidra::sim
