// The device object against a driver that answers anything. Every control call
// succeeds or fails as the input says, reports any byte count (zero, short,
// exact, larger than the buffer, 4 GiB) and fills the buffer with input bytes;
// opens fail when the input says so. The input also chooses what the device
// object does: register reads and writes, the sensor setters, camera and
// sensor set-up, windows, single captures and short streams.
//
// Integral choices come from the end of the input, reply bytes from its front
// (the way FuzzedDataProvider splits it), so a seed can be put together by hand.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "device/COptivo640ULISSdk.h"
#include "device/FrameTransfer.h"
#include "platform/DeviceDriver.h"

namespace calidra {
namespace {

// Control-call answers, the low three bits of a call's mode byte.
enum CountChoice : std::uint8_t {
    kExact = 0,
    kNone = 1,
    kShort = 2,
    kBeyondBuffer = 3,
    kAllOnes = 4,
    kAnyCount = 5,
};
// How the buffer is filled, bits 3-4: nothing, up to 64 input bytes at its
// start, one input byte up to the reported count, or input bytes repeated over
// the whole buffer.
enum FillChoice : std::uint8_t { kNoFill = 0, kHead = 1, kSolid = 2, kPattern = 3 };
constexpr std::uint8_t kFailBit = 0x80;

// A runaway loop in the device layer would otherwise eat the input one byte
// per call for a long time.
constexpr int kMaxControlCalls = 4096;
// The first choices that start an input with a set-up step.
constexpr std::uint8_t kSlowFirst = 0xA4;
// Steps of one input, and of them the frame steps: each capture or stream
// corrects whole frames on a thread of its own. One of them per input (after
// any window changes and register traffic before it) keeps the executions
// quick, and libFuzzer learns from every one.
constexpr int kMaxSteps = 16;
constexpr int kMaxFrameSteps = 1;

class HostileDriver final : public DeviceDriver {
public:
    // Answers from input until End; without input every open and call fails.
    void Begin(FuzzedDataProvider* input) {
        std::lock_guard<std::mutex> guard(lock_);
        input_ = input;
        controlCalls_ = 0;
    }
    void End() {
        std::lock_guard<std::mutex> guard(lock_);
        input_ = nullptr;
    }
    // While a stream runs, only its next `calls` control calls are answered
    // from the input: the stream then ends by itself, after the same calls on
    // every run of the same input.
    void BeginStream(int calls) {
        std::lock_guard<std::mutex> guard(lock_);
        streamCalls_ = calls;
    }
    void EndStream() {
        std::lock_guard<std::mutex> guard(lock_);
        streamCalls_ = -1;
    }
    std::size_t OpenHandles() {
        std::lock_guard<std::mutex> guard(lock_);
        return open_.size();
    }

    std::uint64_t Open(const char* path) override {
        std::lock_guard<std::mutex> guard(lock_);
        if (path == nullptr || input_ == nullptr) return 0;
        if (input_->remaining_bytes() == 0 || input_->ConsumeIntegralInRange<int>(0, 7) == 0) return 0;
        const std::uint64_t file = nextFile_++;
        open_.insert(file);
        return file;
    }

    bool Control(std::uint64_t file, std::uint32_t, const void*, std::uint32_t, void* out, std::uint32_t outLength,
                 std::uint32_t* bytesReturned) override {
        std::lock_guard<std::mutex> guard(lock_);
        // The device layer must only use handles it opened and has not closed.
        if (open_.count(file) == 0) __builtin_trap();
        *bytesReturned = 0;
        if (input_ == nullptr || input_->remaining_bytes() == 0 || ++controlCalls_ > kMaxControlCalls) return false;
        if (streamCalls_ == 0) return false;
        if (streamCalls_ > 0) --streamCalls_;

        const auto mode = input_->ConsumeIntegral<std::uint8_t>();
        std::uint64_t count = outLength;
        switch (mode & 7) {
            case kNone:
                count = 0;
                break;
            case kShort:
                count = input_->ConsumeIntegralInRange<std::uint32_t>(0, outLength);
                break;
            case kBeyondBuffer:
                count = std::uint64_t{outLength} + 1 + input_->ConsumeIntegral<std::uint16_t>();
                break;
            case kAllOnes:
                count = std::numeric_limits<std::uint32_t>::max();
                break;
            case kAnyCount:
                count = input_->ConsumeIntegral<std::uint32_t>();
                break;
            default:
                break;
        }
        count = std::min<std::uint64_t>(count, std::numeric_limits<std::uint32_t>::max());
        // However wrong the count it reports, a driver writes only into the
        // buffer it was given: the system maps no more than that for it.
        if (out != nullptr) Fill(static_cast<std::uint8_t*>(out), outLength, count, (mode >> 3) & 3);
        *bytesReturned = static_cast<std::uint32_t>(count);
        return (mode & kFailBit) == 0;
    }

    void Close(std::uint64_t file) override {
        std::lock_guard<std::mutex> guard(lock_);
        if (open_.erase(file) != 1) __builtin_trap();
    }

private:
    void Fill(std::uint8_t* out, std::uint32_t outLength, std::uint64_t count, int how) {
        switch (how) {
            case kHead: {
                const auto bytes = input_->ConsumeBytes<std::uint8_t>(std::min<std::uint32_t>(outLength, 64));
                std::copy(bytes.begin(), bytes.end(), out);
                break;
            }
            case kSolid:
                std::memset(out, input_->ConsumeIntegral<std::uint8_t>(),
                            static_cast<std::size_t>(std::min<std::uint64_t>(count, outLength)));
                break;
            case kPattern: {
                const auto bytes = input_->ConsumeBytes<std::uint8_t>(std::min<std::uint32_t>(outLength, 256));
                if (bytes.empty()) break;
                // Copies of the pattern, each copy doubling what is filled.
                std::size_t filled = std::min<std::size_t>(bytes.size(), outLength);
                std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(filled), out);
                while (filled < outLength) {
                    const std::size_t more = std::min<std::size_t>(filled, outLength - filled);
                    std::memcpy(out + filled, out, more);
                    filled += more;
                }
                break;
            }
            default:
                break;
        }
    }

    std::mutex lock_;  // guards everything below: capture and stream threads call in too
    FuzzedDataProvider* input_ = nullptr;
    std::set<std::uint64_t> open_;
    std::uint64_t nextFile_ = 1;
    int controlCalls_ = 0;
    int streamCalls_ = -1;
};

struct Rig {
    HostileDriver driver;
    // Declared after the driver, so destroyed before it.
    std::unique_ptr<COptivo640ULISSdk> device;
    std::vector<std::uint16_t> frame = std::vector<std::uint16_t>(COPVSdkLib::kFullWidth * COPVSdkLib::kFullHeight);
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

void Check(bool holds) {
    if (!holds) __builtin_trap();
}

// A setter that fails must leave the recorded value as it was; one that
// succeeds records the new one.
void SetSetting(FuzzedDataProvider& input, COptivo640ULISSdk& device) {
    using Setter = int (COPVSdkLib::*)(int);
    struct Entry {
        Setter set;
        std::int32_t SensorSettingValues::*recorded;
    };
    static constexpr Entry kSetters[] = {
        {&COPVSdkLib::SetPair40, &SensorSettingValues::pair40},
        {&COPVSdkLib::SetPair42, &SensorSettingValues::pair42},
        {&COPVSdkLib::SetPair64, &SensorSettingValues::pair64},
        {&COPVSdkLib::SetPair66, &SensorSettingValues::pair66},
        {&COPVSdkLib::SetPair68, &SensorSettingValues::pair68},
        {&COPVSdkLib::SetPair70, &SensorSettingValues::pair70},
        {&COPVSdkLib::SetWord49, &SensorSettingValues::word49},
        {&COPVSdkLib::SetReg48Mode, &SensorSettingValues::reg48Mode},
    };
    const Entry& entry = kSetters[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kSetters) - 1)];
    const int value = input.ConsumeIntegral<int>();
    const std::int32_t before = device.Sensor().Values().*entry.recorded;
    const int result = (device.*entry.set)(value);
    Check(result == 0 || result == 1);
    Check(device.Sensor().Values().*entry.recorded == (result == 1 ? value : before));
}

void Capture(Rig& rig) {
    const int result = rig.device->CaptureSingle();
    Check(result == FrameTransfer::kOk || result == FrameTransfer::kOpenFailed ||
          result == FrameTransfer::kTransferFailed);
    Check(rig.device->ReadSingleFrame(rig.frame.data()) == FrameTransfer::kOk);
}

void Stream(FuzzedDataProvider& input, Rig& rig) {
    rig.driver.BeginStream(input.ConsumeIntegralInRange<int>(1, 6));
    Check(rig.device->StartStream() == FrameTransfer::kOk);
    // Only a hang guard: the stream ends by itself once its calls are spent.
    for (int wait = 0; wait < 1000; ++wait) {
        const int state = rig.device->WaitFrame();
        if (state == FrameTransfer::kFrameReady) {
            Check(rig.device->ReadStreamFrame(rig.frame.data()) == FrameTransfer::kOk);
        } else if (state != FrameTransfer::kNoFrameYet) {
            break;
        }
    }
    const int result = rig.device->StopStream();
    Check(result == FrameTransfer::kOk || result == FrameTransfer::kOpenFailed ||
          result == FrameTransfer::kTransferFailed);
    rig.driver.EndStream();
}

// The set-up steps send long command sequences and reset the whole correction
// state (9.8 MB of planes), so an input takes at most one, chosen by one of
// four rare values of its first choice (not zero: inputs that end in zeros are
// common). The pauses a camera would need after them are skipped.
void SlowStep(FuzzedDataProvider& input, COptivo640ULISSdk& device, int which) {
    switch (which) {
        case 0:
            Check(device.SetupCamera(input.ConsumeIntegralInRange<int>(-1, COPVSdkLib::kDeviceCount)) !=
                  COPVSdkLib::kInvalidWindow);
            break;
        case 1:
            Check(device.InitSensorRegisters() == 1);
            break;
        case 2: {
            const int x = input.ConsumeIntegralInRange<int>(-1, 640);
            const int y = input.ConsumeIntegralInRange<int>(-1, 480);
            const int width = input.ConsumeIntegralInRange<int>(0, 641);
            const int height = input.ConsumeIntegralInRange<int>(0, 481);
            const int result = device.SetWindow(x, y, width, height, input.ConsumeIntegralInRange<int>(-1, 19));
            Check(result == COPVSdkLib::kOk || result == COPVSdkLib::kInvalidWindow);
            break;
        }
        default:
            device.RequestShutterNuc(input.ConsumeIntegralInRange<int>(0, 64));
            Check(device.PendingCalibration().requested);
            break;
    }
}

// One step; true for a frame step.
bool Step(FuzzedDataProvider& input, Rig& rig) {
    COptivo640ULISSdk& device = *rig.device;
    switch (input.ConsumeIntegralInRange<int>(0, 11)) {
        case 0: {
            const int result =
                device.WriteRegister(input.ConsumeIntegralInRange<int>(-2, 258), input.ConsumeIntegral<int>());
            Check(result == 0 || result == 1);
            break;
        }
        case 1: {
            constexpr int kUntouched = 0x7FFF1234;
            int value = kUntouched;
            const int result = device.ReadRegister(input.ConsumeIntegralInRange<int>(-2, 258), &value);
            // A register is one byte, whatever the reply holds.
            Check(result == 1 ? value >= 0 && value <= 255 : result == 0 && (value == 0 || value == kUntouched));
            break;
        }
        case 2:
            SetSetting(input, device);
            break;
        case 3: {
            const int on = input.ConsumeIntegralInRange<int>(0, 1);
            switch (input.ConsumeIntegralInRange<int>(0, 2)) {
                case 0: {
                    const int result = device.SetReg48Bit2(on);
                    Check(result == -1 || (result == 0 && device.Sensor().Reg48Bit2() == on));
                    break;
                }
                case 1: {
                    const int result = device.SetReg48Bit3(on);
                    Check(result == -1 || (result == 0 && device.Sensor().Reg48Bit3() == on));
                    break;
                }
                default: {
                    const int result = device.SetTriggerMode(on);
                    Check(result == 0 || (result == 1 && device.Sensor().TriggerFlag() == on));
                    break;
                }
            }
            break;
        }
        case 4: {
            const int temperature = device.ReadInternalTemperature();
            Check(temperature >= 0 && temperature <= 0xFFFF);
            break;
        }
        case 5:
            Check(device.SetTransferMode(input.ConsumeIntegralInRange<int>(0, 1)) == 1);
            break;
        case 6: {
            const int width = input.ConsumeIntegralInRange<int>(4, COPVSdkLib::kFullWidth);
            const int height = input.ConsumeIntegralInRange<int>(3, COPVSdkLib::kFullHeight);
            Check(device.AllocateFrameBuffers(width, height, input.ConsumeIntegralInRange<int>(2, 6)) ==
                  FrameTransfer::kOk);
            break;
        }
        case 7:
            Capture(rig);
            return true;
        case 8:
            Stream(input, rig);
            return true;
        case 9:
            device.SendInitCommand();
            Check(device.SetTransferLength() == 1);
            break;
        case 10: {
            device.ProbeDevices();
            for (int index = -1; index <= COPVSdkLib::kDeviceCount; ++index) {
                const int present = device.IsDevicePresent(index);
                Check(present == 0 || (present == 1 && index >= 0 && index < COPVSdkLib::kDeviceCount));
            }
            const int index = input.ConsumeIntegralInRange<int>(-1, COPVSdkLib::kDeviceCount);
            Check(device.SelectDevice(index) ==
                  (index >= 0 && index < COPVSdkLib::kDeviceCount ? COPVSdkLib::kOk : COPVSdkLib::kInvalidIndex));
            break;
        }
        default:
            Capture(rig);
            Capture(rig);
            return true;
    }
    return false;
}

}  // namespace
}  // namespace calidra

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    using namespace calidra;
    // The simulated camera's driver installs itself while the program loads;
    // the hostile one takes its place before the device object exists.
    Rig& rig = TheRig();
    DeviceDriver::Install(&rig.driver);
    rig.device = std::make_unique<COptivo640ULISSdk>();
    // No camera is behind the hostile driver: the pauses a camera needs after
    // its set-up steps (150 ms and more) would only hold the fuzzer up.
    rig.device->Sensor().SetSleep([](std::uint32_t) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calidra;
    Rig& rig = TheRig();
    DeviceDriver::Install(&rig.driver);
    // Every input starts from the same device state: 8-bit transfers of full
    // frames (set while the driver answers nothing, so no input is spent) and
    // no calibration left accumulating by an earlier input, whose frames would
    // otherwise decide what this one does.
    rig.driver.Begin(nullptr);
    COptivo640ULISSdk& device = *rig.device;
    device.SetTransferMode(0);
    if (device.WindowWidth() != COPVSdkLib::kFullWidth || device.WindowHeight() != COPVSdkLib::kFullHeight ||
        device.Transfer().Ring().Size() != FrameTransfer::kRingSize) {
        device.AllocateFrameBuffers(COPVSdkLib::kFullWidth, COPVSdkLib::kFullHeight, FrameTransfer::kRingSize);
    }
    device.Correction().Calibration().Cancel();
    // The set-up steps reset the planes: their float shadows, proven exact by
    // the unit tests, would be rebuilt for most inputs.
    device.Correction().Planes().UseShadows(false);

    FuzzedDataProvider input(data, size);
    rig.driver.Begin(&input);
    const auto first = input.ConsumeIntegral<std::uint8_t>();
    if (first >= kSlowFirst && first < kSlowFirst + 4) SlowStep(input, device, first - kSlowFirst);
    for (int step = 0, frames = 0; step < kMaxSteps && frames < kMaxFrameSteps && input.remaining_bytes() > 0; ++step) {
        frames += Step(input, rig) ? 1 : 0;
    }
    rig.driver.End();
    // Every handle the device layer opened is closed again.
    Check(rig.driver.OpenHandles() == 0);
    return 0;
}
