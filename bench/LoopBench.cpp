// Per-frame cost of the acquisition loop's work and of each readout, on the
// library's own objects: each beside a plain scalar version of the same
// formulas and beside a pass that only moves the same bytes, warm (the data
// just used, as in a steady stream) and cold (every cache swept first).
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "SideBySide.h"
#include "calidra_sim.h"
#include "device/COptivo640ULISSdk.h"
#include "device/PixelCorrection.h"
#include "device/SensorFrame.h"
#include "instance/CCalidra.h"
#include "pipeline/ColourMap.h"
#include "pipeline/FrameRing.h"
#include "pipeline/LevelTemperatures.h"
#include "pipeline/Temperatures.h"
#include "pipeline/ThermoTable.h"
#include "platform/Clock.h"

namespace calidra {
namespace {

using bench::RunSideBySide;

constexpr int kWidth = kFrameWidth;
constexpr int kHeight = kFrameHeight;
constexpr std::size_t kPixels = kFramePixels;
constexpr std::size_t kRawBytes = kPixels * 2;
constexpr std::size_t kColourBytes = kPixels * 3;

// A scene with some structure and sensor noise: a gradient with a warm disc,
// whose temperature is set by `disc` so that frames can differ in their range.
std::vector<std::uint16_t> Scene(int disc, std::uint64_t seed) {
    std::vector<std::uint16_t> frame(kPixels);
    bench::Lcg random(seed);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int dx = x - 320, dy = y - 240;
            const int noise = static_cast<int>(random.Next() % 25) - 12;
            const int level = 5000 + x * 2 + y + (dx * dx + dy * dy < 80 * 80 ? disc : 0) + noise;
            frame[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint16_t>(level);
        }
    }
    return frame;
}

// The mapping written as the formula reads: one division per pixel inside the
// range, bytes stored one at a time, the window statistics beside them.
void ScalarColourise(const Palette::Entries& palette, const std::uint16_t* raw, std::uint8_t* colour,
                     ColourRange& range) {
    const std::int32_t lower = range.rangeLow.load(), upper = range.rangeHigh.load();
    std::uint32_t windowMax = 0, windowMin = 100000;
    for (int i = 0; i < kHeight; ++i) {
        for (int j = 0; j < kWidth; ++j) {
            const std::uint16_t v = raw[static_cast<std::size_t>(i) * kWidth + j];
            std::uint8_t* out = colour + (static_cast<std::size_t>(i) * kWidth + j) * 3;
            if (v <= lower) {
                out[0] = out[1] = out[2] = 0;
            } else if (v >= upper) {
                out[0] = out[1] = out[2] = 255;
            } else {
                const int e = static_cast<int>(static_cast<double>(v - lower) * 360.0 /
                                               (static_cast<double>(upper) - static_cast<double>(lower)));
                const std::uint32_t entry = palette[static_cast<std::size_t>(e)];
                out[0] = Palette::Blue(entry);
                out[1] = Palette::Green(entry);
                out[2] = Palette::Red(entry);
            }
            if (kHeight / 12 < i && i < 11 * kHeight / 12 && kWidth / 16 < j && j < 15 * kWidth / 16) {
                windowMax = std::max<std::uint32_t>(windowMax, v);
                windowMin = std::min<std::uint32_t>(windowMin, v);
            }
        }
    }
    if (range.autoRange.load() == 0) return;
    range.rangeHigh.store(static_cast<std::int32_t>(std::min<std::uint32_t>(windowMax + 120, 16383)));
    range.rangeLow.store(static_cast<std::int32_t>(windowMin >= 120 ? windowMin - 120 : 0));
}

// The line-reversed copy as a first version would write it.
void NaiveReversedCopy(const std::uint16_t* in, std::uint16_t* out) {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            out[static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x] = in[static_cast<std::size_t>(y) * kWidth + x];
}

volatile int zeroMask = 0;

// Reads the raw frame and writes as many bytes as its colour picture holds,
// with no arithmetic: the memory bound of the colouring.
void MoveColourBytes(const std::uint16_t* raw, std::uint8_t* colour) {
    for (std::size_t i = 0; i < kPixels; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(colour + 3 * i), v);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(colour + 3 * i + 16), v);
    }
}

// Reads the four correction planes and the frame and writes the frame back:
// the memory bound of the correction.
void MoveCorrectionBytes(std::uint16_t* frame, const CorrectionPlanes& planes) {
    const __m128i mask = _mm_set1_epi32(zeroMask);
    const double* columns[] = {planes.Gain().data(), planes.Offset().data(), planes.ShutterOffset().data(),
                               planes.Scale().data()};
    for (std::size_t i = 0; i < kPixels; i += 8) {
        __m128i acc = _mm_setzero_si128();
        for (const double* plane : columns)
            for (std::size_t k = 0; k < 8; k += 2)
                acc = _mm_or_si128(acc, _mm_castpd_si128(_mm_loadu_pd(plane + i + k)));
        const __m128i levels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + i), _mm_or_si128(levels, _mm_and_si128(acc, mask)));
    }
}

// Decimal planes such as a camera data set holds.
void FillPlanes(CorrectionPlanes& planes) {
    if (planes.Gain().size() < kPixels) planes.InitPlanes(kWidth, kHeight);
    bench::Lcg random(7);
    for (std::size_t i = 0; i < kPixels; ++i) {
        planes.Gain()[i] = 0.9 + (random.Next() % 21) / 100.0;
        planes.Offset()[i] = -50.0 + (random.Next() % 1001) / 10.0;
        planes.ShutterOffset()[i] = -25.0 + (random.Next() % 501) / 10.0;
        planes.Scale()[i] = 0.95 + (random.Next() % 11) / 100.0;
    }
}

// Colouring one frame: with a fixed range (0) and with the range following
// every frame (-1), where two frames of different warmth alternate so that the
// range, and with it the level table, changes at every frame.
struct ColourData {
    ColourData() {
        frames[0] = Scene(1500, 1);
        frames[1] = Scene(2100, 2);
    }
    std::vector<std::uint16_t> frames[2];
    std::vector<std::uint8_t> colour = std::vector<std::uint8_t>(kColourBytes);
    ColourMap map;
    ColourRange range;
    ColourRange referenceRange;
    int next = 0;
};

void BM_Colourise(benchmark::State& state, int autoRange, bool cold) {
    auto data = std::make_unique<ColourData>();
    for (ColourRange* range : {&data->range, &data->referenceRange}) {
        range->autoRange = autoRange;
        range->rangeLow = 4900;
        range->rangeHigh = 7600;
    }
    const std::uint16_t* raw = nullptr;
    RunSideBySide(
        state, cold,
        [&] {
            raw = data->frames[data->next].data();
            data->next ^= 1;
        },
        [&] { data->map.Colourise(raw, kWidth * 2, kWidth, kHeight, data->colour.data(), kWidth * 3, data->range); },
        [&] { ScalarColourise(data->map.Entries(), raw, data->colour.data(), data->referenceRange); },
        [&] { MoveColourBytes(raw, data->colour.data()); });
}

// A device with decimal correction planes and a frame of the simulated scene
// in its single-frame buffer, captured afresh before every call (the frame is
// corrected in place).
struct CapturedDevice {
    CapturedDevice() {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0);
        device = std::make_unique<COptivo640ULISSdk>();
        device->SetTransferMode(1);
        FillPlanes(device->Correction().Planes());
        ok = device->CaptureSingle() == 0;
    }
    std::unique_ptr<COptivo640ULISSdk> device;
    bool ok = false;
};

// Everything the loop does with one frame once the device has it: take the
// next slot under the locks, correct and copy it in line-reversed, colour it.
// The reference and the byte mover each write into a ring of their own as
// long as the loop's, so that all three meet the same cache state: a slot last
// written thirty frames ago.
void BM_LoopFrameWork(benchmark::State& state, bool cold) {
    CapturedDevice captured;
    if (!captured.ok) return state.SkipWithError("no capture");
    FrameRing ring, referenceRing, bytesRing;
    for (FrameRing* each : {&ring, &referenceRing, &bytesRing}) {
        each->Resize(30);
        if (!each->CreateImages(kWidth, kHeight)) return state.SkipWithError("no memory");
    }
    auto map = std::make_unique<ColourMap>();
    ColourRange range, referenceRange;
    const CorrectionPlanes& planes = captured.device->Correction().Planes();
    const CorrectionRun run{planes.Gain().data(), planes.Offset().data(), planes.ShutterOffset().data(),
                            planes.Scale().data()};
    const std::vector<std::uint16_t> pristine = Scene(1500, 3);
    std::vector<std::uint16_t> work(kPixels);
    int referenceNext = 0, bytesNext = 0;
    auto nextSlot = [](FrameRing& own, int& next) -> FrameSlot& {
        FrameSlot& slot = own.Slot(next);
        next = (next + 1) % own.Length();
        return slot;
    };
    RunSideBySide(
        state, cold,
        [&] {
            captured.device->CaptureSingle();
            std::memcpy(work.data(), pristine.data(), kRawBytes);
        },
        [&] {
            std::unique_lock<std::mutex> position(ring.PositionLock());
            const int next = ring.NextPosition();
            FrameSlot& slot = ring.Slot(next);
            std::unique_lock<std::mutex> content(slot.contentLock);
            slot.id.store(0);
            captured.device->ReadSingleFrame(reinterpret_cast<std::uint16_t*>(slot.raw.Bits()));
            slot.id.store(Clock::TimeMs() * static_cast<std::uint32_t>(std::rand()) + 1u);
            ring.SetPosition(next);
            position.unlock();
            map->Colourise(slot.raw, slot.colour, range);
        },
        [&] {
            FrameSlot& slot = nextSlot(referenceRing, referenceNext);
            auto* reversed = reinterpret_cast<std::uint16_t*>(slot.raw.Bits());
            CorrectLevelsScalar(work.data(), work.data(), kPixels, run);
            NaiveReversedCopy(work.data(), reversed);
            ScalarColourise(map->Entries(), reversed, slot.colour.Bits(), referenceRange);
        },
        [&] {
            FrameSlot& slot = nextSlot(bytesRing, bytesNext);
            auto* reversed = reinterpret_cast<std::uint16_t*>(slot.raw.Bits());
            MoveCorrectionBytes(work.data(), planes);
            std::memcpy(reversed, work.data(), kRawBytes);
            MoveColourBytes(reversed, slot.colour.Bits());
        });
}

// An instance holding one captured frame.
struct CapturedInstance {
    CapturedInstance() {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0);
        instance = std::make_unique<CCalidra>();
        instance->Init(nullptr);
        id = instance->OneShot();
    }
    std::unique_ptr<CCalidra> instance;
    std::uint32_t id = 0;
};

// Each line copied element by element, last line first when flipped.
template <typename T>
void ElementCopy(const T* image, T* out, std::size_t rowElements, bool flipped) {
    for (int k = 0; k < kHeight; ++k) {
        const T* from = image + static_cast<std::size_t>(flipped ? kHeight - 1 - k : k) * rowElements;
        T* to = out + static_cast<std::size_t>(k) * rowElements;
        for (std::size_t x = 0; x < rowElements; ++x) to[x] = from[x];
    }
}

// The readout of one frame by id beside an element-by-element copy of the
// slot's image and beside one memcpy of the same bytes.
template <typename T>
void BM_Readout(benchmark::State& state, bool colour, bool flipped, bool cold) {
    CapturedInstance captured;
    if (captured.id == 0) return state.SkipWithError("no capture");
    CCalidra& instance = *captured.instance;
    instance.SetParam(17, flipped ? 1 : 0);
    FrameSlot* slot = instance.Ring().Find(captured.id);
    const DibImage& image = colour ? slot->colour : slot->raw;
    const std::size_t bytes = image.ImageSize();
    const std::size_t rowElements = static_cast<std::size_t>(image.Stride()) / sizeof(T);
    std::vector<T> out(bytes / sizeof(T));
    const auto* pixels = reinterpret_cast<const T*>(image.Bits());
    const auto size = static_cast<std::uint32_t>(bytes);
    bool failed = false;
    RunSideBySide(
        state, cold, [] {},
        [&] {
            const int ok = colour ? instance.GetColor(captured.id, reinterpret_cast<unsigned char*>(out.data()), size)
                                  : instance.GetRaw(captured.id, reinterpret_cast<unsigned short*>(out.data()), size);
            failed = failed || ok != 1;
        },
        [&] { ElementCopy(pixels, out.data(), rowElements, flipped); },
        [&] { std::memcpy(out.data(), pixels, bytes); });
    if (failed) state.SkipWithError("the readout failed");
}

// Widens each level to a float: the same bytes read and written as the
// temperature readout.
void WidenLevels(const std::uint16_t* in, float* out) {
    const __m128i zero = _mm_setzero_si128();
    for (std::size_t j = 0; j < kPixels; j += 8) {
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j));
        _mm_storeu_ps(out + j, _mm_cvtepi32_ps(_mm_unpacklo_epi16(raw, zero)));
        _mm_storeu_ps(out + j + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(raw, zero)));
    }
}

void BM_GetTemperature(benchmark::State& state, bool flipped, bool cold) {
    CapturedInstance captured;
    if (captured.id == 0) return state.SkipWithError("no capture");
    CCalidra& instance = *captured.instance;
    instance.SetParam(17, flipped ? 1 : 0);
    const auto* levels = reinterpret_cast<const std::uint16_t*>(instance.Ring().Find(captured.id)->raw.Bits());
    const LevelTable& table = instance.Device().Correction().Levels();
    const LevelTableView view{table.Count(), table.Temperatures(), table.Offsets()};
    std::vector<float> out(kPixels);
    bool failed = false;
    RunSideBySide(
        state, cold, [] {},
        [&] { failed = failed || instance.GetTemperature(captured.id, out.data(), kPixels * 4) != 1; },
        [&] { LevelTemperaturesScalar(levels, out.data(), kPixels, view); }, [&] { WidenLevels(levels, out.data()); });
    if (failed) state.SkipWithError("the readout failed");
}

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

// The loop's frame work captures a frame before each of its three calls.
void LoopWarm(benchmark::internal::Benchmark* b) { b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200); }
void LoopCold(benchmark::internal::Benchmark* b) { b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(60); }

// Registered by name: the warm variants carry the plain names the target
// table looks up.
std::string Name(const char* base, const char* variant, bool cold) {
    std::string name(base);
    name.append(variant);
    if (cold) name.append("/cold");
    return name;
}

const bool kRegistered = [] {
    for (bool cold : {false, true}) {
        auto settings = cold ? bench::Cold : bench::Warm;
        benchmark::RegisterBenchmark(Name("BM_LoopFrameWork", "", cold).c_str(), BM_LoopFrameWork, cold)
            ->Apply(cold ? LoopCold : LoopWarm);
        benchmark::RegisterBenchmark(Name("BM_Colourise", "/0", cold).c_str(), BM_Colourise, 0, cold)->Apply(settings);
        benchmark::RegisterBenchmark(Name("BM_Colourise", "/-1", cold).c_str(), BM_Colourise, -1, cold)
            ->Apply(settings);
        for (bool flipped : {false, true}) {
            const char* variant = flipped ? "/1" : "/0";
            benchmark::RegisterBenchmark(Name("BM_GetRaw", variant, cold).c_str(), BM_Readout<std::uint16_t>, false,
                                         flipped, cold)
                ->Apply(settings);
            benchmark::RegisterBenchmark(Name("BM_GetColor", variant, cold).c_str(), BM_Readout<std::uint8_t>, true,
                                         flipped, cold)
                ->Apply(settings);
            benchmark::RegisterBenchmark(Name("BM_GetTemperature", variant, cold).c_str(), BM_GetTemperature, flipped,
                                         cold)
                ->Apply(settings);
        }
    }
    return true;
}();

}  // namespace
}  // namespace calidra
