// Per-frame cost of the acquisition loop's work and of each readout, on the
// virtual camera with frames delivered as fast as they are asked for.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "calidra_sim.h"
#include "device/COptivo640ULISSdk.h"
#include "instance/CCalidra.h"
#include "pipeline/ColourMap.h"
#include "pipeline/FrameRing.h"
#include "pipeline/Temperatures.h"
#include "pipeline/ThermoTable.h"
#include "platform/Clock.h"

namespace calidra {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;

// A scene with some structure: a gradient with a warm disc.
std::vector<std::uint16_t> Scene() {
    std::vector<std::uint16_t> frame(kPixels);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int dx = x - 320, dy = y - 240;
            const int level = 5000 + x * 2 + y + (dx * dx + dy * dy < 80 * 80 ? 1500 : 0);
            frame[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint16_t>(level);
        }
    }
    return frame;
}

// A device with one captured frame in its single-frame buffer.
struct CapturedDevice {
    CapturedDevice() {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0);
        const std::vector<std::uint16_t> scene = Scene();
        CalidraSim_SetFrame(0, scene.data());
        device = std::make_unique<COptivo640ULISSdk>();
        device->SetTransferMode(1);
        ok = device->CaptureSingle() == 0;
    }
    std::unique_ptr<COptivo640ULISSdk> device;
    bool ok = false;
};

void BM_CorrectAndCopyReversed(benchmark::State& state) {
    CapturedDevice captured;
    if (!captured.ok) return state.SkipWithError("no capture");
    std::vector<std::uint16_t> out(kPixels);
    for (auto _ : state) {
        captured.device->ReadSingleFrame(out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPixels * 2));
}
BENCHMARK(BM_CorrectAndCopyReversed)->Unit(benchmark::kMicrosecond);

void BM_Colourise(benchmark::State& state) {
    const std::vector<std::uint16_t> scene = Scene();
    std::vector<std::uint8_t> colour(kPixels * 3);
    ColourMap map;
    ColourRange range;
    range.autoRange = static_cast<std::int32_t>(state.range(0));
    for (auto _ : state) {
        map.Colourise(scene.data(), kWidth * 2, kWidth, kHeight, colour.data(), kWidth * 3, range);
        benchmark::DoNotOptimize(colour.data());
    }
}
// 0: fixed range; -1: the range follows every frame.
BENCHMARK(BM_Colourise)->Arg(0)->Arg(-1)->Unit(benchmark::kMicrosecond);

// Everything the loop does with one frame once the device has it: take the next
// slot under the locks, correct and copy it in line-reversed, colour it.
void BM_LoopFrameWork(benchmark::State& state) {
    CapturedDevice captured;
    if (!captured.ok) return state.SkipWithError("no capture");
    FrameRing ring;
    ring.Resize(30);
    if (!ring.CreateImages(kWidth, kHeight)) return state.SkipWithError("no memory");
    ColourMap map;
    ColourRange range;
    for (auto _ : state) {
        std::unique_lock<std::mutex> position(ring.PositionLock());
        const int next = ring.NextPosition();
        FrameSlot& slot = ring.Slot(next);
        std::unique_lock<std::mutex> content(slot.contentLock);
        slot.id.store(0);
        captured.device->ReadSingleFrame(reinterpret_cast<std::uint16_t*>(slot.raw.Bits()));
        slot.id.store(Clock::TimeMs() * static_cast<std::uint32_t>(std::rand()) + 1u);
        ring.SetPosition(next);
        position.unlock();
        map.Colourise(slot.raw, slot.colour, range);
    }
}
BENCHMARK(BM_LoopFrameWork)->Unit(benchmark::kMicrosecond);

// An instance holding one captured frame.
struct CapturedInstance {
    CapturedInstance() {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0);
        const std::vector<std::uint16_t> scene = Scene();
        CalidraSim_SetFrame(0, scene.data());
        instance = std::make_unique<CCalidra>();
        instance->Init(nullptr);
        id = instance->OneShot();
    }
    std::unique_ptr<CCalidra> instance;
    std::uint32_t id = 0;
};

void BM_GetRaw(benchmark::State& state) {
    CapturedInstance captured;
    captured.instance->SetParam(17, static_cast<int>(state.range(0)));
    std::vector<unsigned short> out(kPixels);
    for (auto _ : state) {
        if (!captured.instance->GetRaw(captured.id, out.data(), kPixels * 2)) return state.SkipWithError("failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_GetRaw)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_GetColor(benchmark::State& state) {
    CapturedInstance captured;
    captured.instance->SetParam(17, static_cast<int>(state.range(0)));
    std::vector<unsigned char> out(kPixels * 3);
    for (auto _ : state) {
        if (!captured.instance->GetColor(captured.id, out.data(), kPixels * 3)) return state.SkipWithError("failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_GetColor)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_GetTemperature(benchmark::State& state) {
    CapturedInstance captured;
    captured.instance->SetParam(17, static_cast<int>(state.range(0)));
    std::vector<float> out(kPixels);
    for (auto _ : state) {
        if (!captured.instance->GetTemperature(captured.id, out.data(), kPixels * 4))
            return state.SkipWithError("failed");
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_GetTemperature)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TemperaturesThroughThermoTable(benchmark::State& state) {
    CapturedInstance captured;
    const DibImage& raw = captured.instance->CurrentRawImage();
    const ThermoTable& table = captured.instance->ActiveThermoTable();
    std::vector<std::int8_t> s8(kPixels);
    std::vector<std::int32_t> i32(kPixels);
    for (auto _ : state) {
        if (state.range(0) == 8)
            TemperaturesS8(&raw, s8.data(), false, table);
        else
            TemperaturesI32(&raw, i32.data(), false, table);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TemperaturesThroughThermoTable)->Arg(8)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace calidra
