#include "driver/VirtualCamera.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <thread>

#include "driver/CameraRegisters.h"
#include "platform/Clock.h"
#include "platform/LittleEndian.h"

namespace calidra::sim {

namespace {

constexpr std::uint8_t kCmdStartFrame = 0x02;
constexpr std::uint8_t kCmdInit = 0x06;
constexpr std::uint8_t kCmdTransferLength = 0x09;
constexpr std::uint8_t kCmdTransferMode = 0x0A;
constexpr std::uint8_t kCmdWriteRegister = 0x25;
constexpr std::uint8_t kCmdReadRegister = 0x26;

// Start-frame packets beyond this many unanswered ones are forgotten, as a
// camera's request queue would overflow.
constexpr int kMaxPendingFrames = 16;

// A warming sensor reads higher: levels per unit the temperature reading falls.
constexpr int kLevelPerReadingUnit = 3;

std::uint32_t NoiseSeed(int index, std::uint32_t frameNumber) {
    std::uint32_t h = frameNumber * 0x9E3779B1u + static_cast<std::uint32_t>(index) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

}  // namespace

VirtualCamera::VirtualCamera(int index) : index_(index) { Reset(); }

void VirtualCamera::Reset() {
    std::lock_guard<std::mutex> guard(stateLock_);
    ResetLocked();
}

void VirtualCamera::ResetLocked() {
    bool shouldBePresent = index_ == 0;
    if (present_ && !shouldBePresent) ++generation_;
    present_ = shouldBePresent;
    registers_.fill(0);
    for (const RegisterDefault& d : kRegisterDefaults) registers_[d.reg] = d.value;
    lastShutterWrite_ = 0;
    shutterClosed_ = false;
    transferModeCommand_ = 1;
    transferLength_ = static_cast<std::uint32_t>(kSensorPixels);
    pendingFrames_ = 0;
    frameRate_ = kDefaultFrameRate;
    framePaced_ = false;
    powerOnTime_ = SteadyClock::now();
    frameNumber_ = 0;
    fixedFrame_.reset();
    temperature_.Reset();
    faultsDue_.fill(0);
    log_.Clear();
}

void VirtualCamera::SetPresent(bool present) {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (present_ && !present) ++generation_;
    present_ = present;
}

bool VirtualCamera::IsPresent() const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return present_;
}

std::uint64_t VirtualCamera::Generation() const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return generation_;
}

bool VirtualCamera::IsUsable(std::uint64_t generation) const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return present_ && generation == generation_;
}

void VirtualCamera::InjectFault(Fault fault, int count) {
    std::lock_guard<std::mutex> guard(stateLock_);
    faultsDue_[static_cast<int>(fault)] = count;
}

bool VirtualCamera::TakeFault(Fault fault) {
    std::lock_guard<std::mutex> guard(stateLock_);
    int& due = faultsDue_[static_cast<int>(fault)];
    if (due <= 0) return false;
    --due;
    return true;
}

bool VirtualCamera::Execute(const std::uint8_t* packet, int* readValue) {
    std::lock_guard<std::mutex> guard(stateLock_);
    switch (packet[0]) {
        case kCmdStartFrame:
            pendingFrames_ = std::min(pendingFrames_ + 1, kMaxPendingFrames);
            break;
        case kCmdInit:
            break;
        case kCmdTransferLength:
            transferLength_ = GetLE32(packet + 1);
            break;
        case kCmdTransferMode:
            transferModeCommand_ = packet[1];
            break;
        case kCmdWriteRegister:
            // The status and temperature registers belong to the camera: the
            // host cannot change them.
            if (packet[1] != kRegStatus && packet[1] != kRegTemperatureLow && packet[1] != kRegTemperatureHigh)
                WriteLocked(packet[1], packet[2]);
            break;
        case kCmdReadRegister:
            if (readValue != nullptr) *readValue = ReadLocked(packet[1]);
            break;
        default:
            return false;
    }
    log_.Append(packet);
    return true;
}

void VirtualCamera::WriteLocked(int reg, std::uint8_t value) {
    if (reg == kRegShutter && value == 0) {
        if (lastShutterWrite_ == kShutterClosePulse) shutterClosed_ = true;
        if (lastShutterWrite_ == kShutterOpenPulse) shutterClosed_ = false;
    }
    if (reg == kRegShutter) lastShutterWrite_ = value;
    registers_[reg] = value;
}

std::uint8_t VirtualCamera::ReadLocked(int reg) const {
    if (reg == kRegTemperatureLow) return static_cast<std::uint8_t>(TemperatureLocked());
    if (reg == kRegTemperatureHigh) return static_cast<std::uint8_t>(TemperatureLocked() >> 8);
    return registers_[reg];
}

std::uint16_t VirtualCamera::TemperatureLocked() const {
    std::chrono::duration<double> sincePowerOn = SteadyClock::now() - powerOnTime_;
    return temperature_.Reading(sincePowerOn.count());
}

int VirtualCamera::BaseLevelLocked() const {
    int setting = registers_[kRegLevelLow] | ((registers_[kRegLevelHigh] & 0x0F) << 8);
    int warming = TemperatureDrift::kColdReading - static_cast<int>(TemperatureLocked());
    return kNominalLevel + kLevelPerStep * (kNominalLevelSetting - setting) + kLevelPerReadingUnit * warming;
}

const SensorModel& VirtualCamera::Sensor() {
    std::call_once(sensorBuilt_, [this] {
        sensor_ = std::make_unique<SensorModel>(0xCA11D4A0000ull + static_cast<std::uint64_t>(index_));
    });
    return *sensor_;
}

bool VirtualCamera::ReadFrame(std::uint8_t* out, std::uint32_t length, std::uint32_t* bytes, std::uint64_t generation) {
    SteadyClock::time_point due;
    {
        std::lock_guard<std::mutex> guard(stateLock_);
        if (pendingFrames_ == 0) return false;
        --pendingFrames_;
        due = SteadyClock::now();
        if (frameRate_ > 0.0 && framePaced_) {
            auto period =
                std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(1.0 / frameRate_));
            due = std::max(due, lastFrameTime_ + period);
        }
        lastFrameTime_ = due;
        framePaced_ = true;
    }
    std::this_thread::sleep_until(due);
    const std::uint64_t cpuStart = Clock::ThreadCpuNanoseconds();

    FrameConditions conditions;
    std::shared_ptr<const std::vector<std::uint16_t>> fixedFrame;
    bool eightBit;
    bool shortFrame;
    {
        std::lock_guard<std::mutex> guard(stateLock_);
        if (!present_ || generation != generation_) return false;
        conditions.shutterClosed = shutterClosed_;
        conditions.baseLevel = BaseLevelLocked();
        conditions.frameNumber = frameNumber_;
        conditions.noiseSeed = NoiseSeed(index_, frameNumber_);
        ++frameNumber_;
        fixedFrame = fixedFrame_;
        eightBit = registers_[kRegTransferFormat] == kFormat8Bit || transferModeCommand_ == 0;
        int& shortDue = faultsDue_[static_cast<int>(Fault::ShortFrame)];
        shortFrame = shortDue > 0;
        if (shortFrame) --shortDue;
    }

    // Each transfer renders into a buffer of its own, allocated once for each
    // transfer running at the same time.
    ScratchPool<std::uint16_t>::Lease scratch = scratch_.Take();
    scratch->resize(kSensorPixels);
    const std::uint16_t* pixels = scratch->data();
    if (fixedFrame)
        pixels = fixedFrame->data();
    else
        Sensor().Render(conditions, scratch->data());

    // Bytes past the sensor's pixels (a request rounded up) read zero.
    std::uint32_t filled;
    if (eightBit) {
        filled = std::min<std::uint32_t>(length, kSensorPixels);
        for (std::uint32_t i = 0; i < filled; ++i) out[i] = static_cast<std::uint8_t>(std::min(255, pixels[i] >> 6));
    } else {
        std::uint32_t count = std::min<std::uint32_t>(length / 2, kSensorPixels);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(out, pixels, 2 * std::size_t{count});
        } else {
            for (std::uint32_t i = 0; i < count; ++i) PutLE16(out + 2 * i, pixels[i]);
        }
        filled = 2 * count;
        if (count < kSensorPixels && length % 2 != 0) out[filled++] = static_cast<std::uint8_t>(pixels[count]);
    }
    std::memset(out + filled, 0, length - filled);
    *bytes = shortFrame ? length / 2 : length;
    frameNanoseconds_.fetch_add(Clock::ThreadCpuNanoseconds() - cpuStart, std::memory_order_relaxed);
    return true;
}

void VirtualCamera::SetFrameRate(double framesPerSecond) {
    std::lock_guard<std::mutex> guard(stateLock_);
    frameRate_ = framesPerSecond;
}

void VirtualCamera::SetFixedFrame(const std::uint16_t* pixels) {
    std::shared_ptr<const std::vector<std::uint16_t>> frame;
    if (pixels != nullptr) frame = std::make_shared<const std::vector<std::uint16_t>>(pixels, pixels + kSensorPixels);
    std::lock_guard<std::mutex> guard(stateLock_);
    fixedFrame_ = std::move(frame);
}

void VirtualCamera::SetRegister(int reg, std::uint8_t value) {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (reg == kRegTemperatureLow || reg == kRegTemperatureHigh) {
        std::uint16_t reading = TemperatureLocked();
        if (reg == kRegTemperatureLow)
            reading = static_cast<std::uint16_t>((reading & 0xFF00) | value);
        else
            reading = static_cast<std::uint16_t>((reading & 0x00FF) | (value << 8));
        temperature_.Fix(reading);
        return;
    }
    WriteLocked(reg, value);
}

std::uint8_t VirtualCamera::GetRegister(int reg) const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return ReadLocked(reg);
}

void VirtualCamera::SetInternalTemperature(std::uint16_t reading) {
    std::lock_guard<std::mutex> guard(stateLock_);
    temperature_.Fix(reading);
}

int VirtualCamera::CopyCommandLog(std::uint8_t (*packets)[64], int maxPackets) const {
    std::lock_guard<std::mutex> guard(stateLock_);
    return log_.Copy(packets, maxPackets);
}

void VirtualCamera::ClearCommandLog() {
    std::lock_guard<std::mutex> guard(stateLock_);
    log_.Clear();
}

}  // namespace calidra::sim
