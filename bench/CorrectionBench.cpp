// The per-pixel correction of one 640 x 480 frame: each kernel beside the plain
// scalar formula and beside a pass that only reads the planes and the frame and
// writes the frame back, warm (planes in the last-level cache, as in a steady
// stream) and cold (every cache swept first).
#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "SideBySide.h"
#include "calidra_sim.h"
#include "device/COptivo640ULISSdk.h"
#include "device/CorrectionPlanes.h"
#include "device/PixelCorrection.h"
#include "device/ReversedLines.h"
#include "device/SensorFrame.h"
#include "device/ShadowCorrection.h"

namespace calidra {
namespace {

using bench::RunSideBySide;

// Decimal planes such as a data set holds and a frame of levels around them.
struct CorrectionData {
    CorrectionData() {
        planes.InitPlanes(kFrameWidth, kFrameHeight);
        bench::Lcg random(7);
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            planes.Gain()[i] = 0.8 + (random.Next() % 41) / 100.0;
            planes.Offset()[i] = -50.0 + (random.Next() % 1001) / 10.0;
            planes.ShutterOffset()[i] = -25.0 + (random.Next() % 501) / 10.0;
            planes.Scale()[i] = 0.5 + (random.Next() % 21) / 20.0;
            pristine[i] = static_cast<std::uint16_t>(4000 + random.Next() % 8000);
        }
    }
    static CorrectionData& Shared() {
        static CorrectionData data;
        return data;
    }
    CorrectionRun Run() const {
        return {planes.Gain().data(), planes.Offset().data(), planes.ShutterOffset().data(), planes.Scale().data()};
    }
    void Restore() { std::memcpy(frame.data(), pristine.data(), kFramePixels * sizeof(std::uint16_t)); }

    CorrectionPlanes planes;
    std::vector<std::uint16_t> pristine = std::vector<std::uint16_t>(kFramePixels);
    std::vector<std::uint16_t> frame = std::vector<std::uint16_t>(kFramePixels);
    std::vector<std::uint16_t> out = std::vector<std::uint16_t>(kFramePixels);
};

volatile int zeroMask = 0;

// Reads every byte the correction reads and writes every byte it writes, with
// no arithmetic worth the name: the memory bound of the correction.
__attribute__((target("avx2"))) void MoveCorrectionBytesAvx2(const std::uint16_t* in, std::uint16_t* out,
                                                             const CorrectionRun& run) {
    const __m256i mask = _mm256_set1_epi32(zeroMask);
    const double* planes[] = {run.gain, run.offset, run.shutterOffset, run.scale};
    for (std::size_t i = 0; i < kFramePixels; i += 16) {
        __m256i acc = _mm256_setzero_si256();
        for (const double* plane : planes) {
            for (std::size_t k = 0; k < 16; k += 4)
                acc = _mm256_or_si256(acc, _mm256_castpd_si256(_mm256_loadu_pd(plane + i + k)));
        }
        const __m256i levels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_or_si256(levels, _mm256_and_si256(acc, mask)));
    }
}

void MoveCorrectionBytesSse2(const std::uint16_t* in, std::uint16_t* out, const CorrectionRun& run) {
    const __m128i mask = _mm_set1_epi32(zeroMask);
    const double* planes[] = {run.gain, run.offset, run.shutterOffset, run.scale};
    for (std::size_t i = 0; i < kFramePixels; i += 8) {
        __m128i acc = _mm_setzero_si128();
        for (const double* plane : planes) {
            for (std::size_t k = 0; k < 8; k += 2)
                acc = _mm_or_si128(acc, _mm_castpd_si128(_mm_loadu_pd(plane + i + k)));
        }
        const __m128i levels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(levels, _mm_and_si128(acc, mask)));
    }
}

void MoveCorrectionBytes(const std::uint16_t* in, std::uint16_t* out, const CorrectionRun& run) {
    if (CorrectionPathAvailable(CorrectionPath::kAvx2))
        MoveCorrectionBytesAvx2(in, out, run);
    else
        MoveCorrectionBytesSse2(in, out, run);
}

// The plain loop a first version would have: one line after the other, each
// pixel's destination computed from its coordinates.
void NaiveReversedCopy(const std::uint16_t* in, std::uint16_t* out) {
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x)
            out[static_cast<std::size_t>(kFrameHeight - 1 - y) * kFrameWidth + x] =
                in[static_cast<std::size_t>(y) * kFrameWidth + x];
}

void BM_Correction(benchmark::State& state, CorrectionPath path, bool cold) {
    const CorrectionKernel kernel = CorrectionKernelFor(path);
    if (kernel == nullptr) return state.SkipWithError("this processor lacks the instructions");
    CorrectionData& data = CorrectionData::Shared();
    const CorrectionRun run = data.Run();
    std::uint16_t* frame = data.frame.data();
    RunSideBySide(
        state, cold, [&] { data.Restore(); }, [&] { kernel(frame, frame, kFramePixels, run); },
        [&] { CorrectLevelsScalar(frame, frame, kFramePixels, run); }, [&] { MoveCorrectionBytes(frame, frame, run); });
}
BENCHMARK_CAPTURE(BM_Correction, scalar_warm, CorrectionPath::kScalar, false)->Apply(bench::Warm);
BENCHMARK_CAPTURE(BM_Correction, sse2_warm, CorrectionPath::kSse2, false)->Apply(bench::Warm);
BENCHMARK_CAPTURE(BM_Correction, avx2_warm, CorrectionPath::kAvx2, false)->Apply(bench::Warm);
BENCHMARK_CAPTURE(BM_Correction, scalar_cold, CorrectionPath::kScalar, true)->Apply(bench::Cold);
BENCHMARK_CAPTURE(BM_Correction, sse2_cold, CorrectionPath::kSse2, true)->Apply(bench::Cold);
BENCHMARK_CAPTURE(BM_Correction, avx2_cold, CorrectionPath::kAvx2, true)->Apply(bench::Cold);

// Planes as the virtual camera's live stream has them: the defaults, then a
// shutter calibration over thirty of its closed-shutter frames; and an open
// frame of its scene, taken before the calibration, when the default planes
// still pass every level through.
struct CameraCorrectionData {
    CameraCorrectionData() {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, 0);
        device = std::make_unique<COptivo640ULISSdk>();
        device->SetTransferMode(1);
        std::vector<std::uint16_t> reversed(kFramePixels);
        ok = device->CaptureSingle() == 0 && device->ReadSingleFrame(reversed.data()) == 0;
        CopyLinesReversed(reversed.data(), pristine.data(), kFrameWidth, kFrameHeight);
        device->RequestShutterNuc(ShutterCalibration::kDefaultFramesToAverage);
        for (int k = 0; ok && k < ShutterCalibration::kDefaultFramesToAverage; ++k)
            ok = device->CaptureSingle() == 0 && device->ReadSingleFrame(reversed.data()) == 0;
        ok = ok && !device->Correction().Calibration().Requested();
    }
    static CameraCorrectionData& Shared() {
        static CameraCorrectionData data;
        return data;
    }
    CorrectionPlanes& Planes() { return device->Correction().Planes(); }

    std::unique_ptr<COptivo640ULISSdk> device;
    bool ok = false;
    std::vector<std::uint16_t> pristine = std::vector<std::uint16_t>(kFramePixels);
    std::vector<std::uint16_t> frame = std::vector<std::uint16_t>(kFramePixels);
};

// Planes of random doubles (every bit of the fraction used) over the spans a
// data set's planes take, and random 14-bit levels.
struct RandomCorrectionData {
    RandomCorrectionData() {
        planes.InitPlanes(kFrameWidth, kFrameHeight);
        bench::Lcg random(17);
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            planes.Gain()[i] = random.Between(0.5, 1.5);
            planes.Offset()[i] = random.Between(-2000.0, 2000.0);
            planes.ShutterOffset()[i] = random.Between(-500.0, 500.0);
            planes.Scale()[i] = random.Between(0.5, 2.0);
            pristine[i] = static_cast<std::uint16_t>(random.Next() % 16384);
        }
    }
    static RandomCorrectionData& Shared() {
        static RandomCorrectionData data;
        return data;
    }
    CorrectionPlanes planes;
    std::vector<std::uint16_t> pristine = std::vector<std::uint16_t>(kFramePixels);
    std::vector<std::uint16_t> frame = std::vector<std::uint16_t>(kFramePixels);
};

enum class ShadowData { kDecimal, kCamera, kRandom };

// The double kernel of the same path, or the best one for a path only the shadows have.
CorrectionKernel DoubleKernelBeside(ShadowPath path) {
    switch (path) {
        case ShadowPath::kScalar:
            return CorrectionKernelFor(CorrectionPath::kScalar);
        case ShadowPath::kSse2:
            return CorrectionKernelFor(CorrectionPath::kSse2);
        case ShadowPath::kAvx2:
            return CorrectionKernelFor(CorrectionPath::kAvx2);
        case ShadowPath::kAvx512:
            break;
    }
    return CorrectionKernelFor(BestCorrectionPath());
}

// The pass through the float shadows beside the double kernel of the same path
// (the pass before the shadows) and beside the byte mover of the four double
// planes; fallback_pct is the share of pixels the bound left to the doubles.
void BM_ShadowCorrection(benchmark::State& state, ShadowPath path, ShadowData which, bool cold) {
    const ShadowKernel kernel = ShadowKernelFor(path);
    const CorrectionKernel doubles = DoubleKernelBeside(path);
    if (kernel == nullptr) return state.SkipWithError("this processor lacks the instructions");
    CorrectionPlanes* planes = nullptr;
    const std::uint16_t* pristine = nullptr;
    std::uint16_t* frame = nullptr;
    switch (which) {
        case ShadowData::kDecimal:
            planes = &CorrectionData::Shared().planes;
            pristine = CorrectionData::Shared().pristine.data();
            frame = CorrectionData::Shared().frame.data();
            break;
        case ShadowData::kCamera:
            if (!CameraCorrectionData::Shared().ok) return state.SkipWithError("no calibration");
            planes = &CameraCorrectionData::Shared().Planes();
            pristine = CameraCorrectionData::Shared().pristine.data();
            frame = CameraCorrectionData::Shared().frame.data();
            break;
        case ShadowData::kRandom:
            planes = &RandomCorrectionData::Shared().planes;
            pristine = RandomCorrectionData::Shared().pristine.data();
            frame = RandomCorrectionData::Shared().frame.data();
            break;
    }
    const CorrectionShadow* shadow = planes->Shadow();
    if (shadow == nullptr) return state.SkipWithError("no shadows");
    const CorrectionPlanes& doublePlanes = *planes;
    const CorrectionRun run{doublePlanes.Gain().data(), doublePlanes.Offset().data(),
                            doublePlanes.ShutterOffset().data(), doublePlanes.Scale().data()};
    const ShadowRun shadowRun{shadow->High(), shadow->Low(), shadow->Offset(), shadow->Quads()};
    std::size_t deferred = 0, calls = 0;
    RunSideBySide(
        state, cold, [&] { std::memcpy(frame, pristine, kFramePixels * sizeof(std::uint16_t)); },
        [&] {
            DeferredPixels pending;
            kernel(frame, frame, kFramePixels, shadowRun, pending);
            pending.Finish();
            deferred += pending.Total();
            ++calls;
        },
        [&] { doubles(frame, frame, kFramePixels, run); }, [&] { MoveCorrectionBytes(frame, frame, run); }, "double");
    if (calls > 0) state.counters["fallback_pct"] = 100.0 * static_cast<double>(deferred) / (calls * kFramePixels);
}

const bool kShadowRegistered = [] {
    struct Variant {
        const char* name;
        ShadowPath path;
        ShadowData data;
    };
    // Each path on data-set planes, then the path the device uses on each kind of planes.
    const ShadowPath best = BestShadowPath();
    const Variant variants[] = {{"scalar", ShadowPath::kScalar, ShadowData::kDecimal},
                                {"sse2", ShadowPath::kSse2, ShadowData::kDecimal},
                                {"avx2", ShadowPath::kAvx2, ShadowData::kDecimal},
                                {"avx512", ShadowPath::kAvx512, ShadowData::kDecimal},
                                {"dataset", best, ShadowData::kDecimal},
                                {"camera", best, ShadowData::kCamera},
                                {"random", best, ShadowData::kRandom}};
    for (bool cold : {false, true}) {
        for (const Variant& variant : variants) {
            std::string name = "BM_ShadowCorrection/";
            name.append(variant.name).append(cold ? "_cold" : "_warm");
            benchmark::RegisterBenchmark(name.c_str(), BM_ShadowCorrection, variant.path, variant.data, cold)
                ->Apply(cold ? bench::Cold : bench::Warm);
        }
    }
    return true;
}();

// A frame leaving the device: corrected, then copied line-reversed, either as
// the two passes the device makes or fused into one pass.
void BM_CorrectAndReverse(benchmark::State& state, bool fused, bool cold) {
    CorrectionData& data = CorrectionData::Shared();
    const CorrectionRun run = data.Run();
    std::uint16_t* frame = data.frame.data();
    std::uint16_t* out = data.out.data();
    RunSideBySide(
        state, cold, [&] { data.Restore(); },
        [&] {
            if (fused) {
                CorrectPixelsReversed(frame, out, data.planes);
            } else {
                CorrectPixels(frame, data.planes);
                CopyLinesReversed(frame, out, kFrameWidth, kFrameHeight);
            }
        },
        [&] {
            CorrectLevelsScalar(frame, frame, kFramePixels, run);
            NaiveReversedCopy(frame, out);
        },
        [&] {
            MoveCorrectionBytes(frame, frame, run);
            std::memcpy(out, frame, kFramePixels * sizeof(std::uint16_t));
        });
}
BENCHMARK_CAPTURE(BM_CorrectAndReverse, two_pass_warm, false, false)->Apply(bench::Warm);
BENCHMARK_CAPTURE(BM_CorrectAndReverse, fused_warm, true, false)->Apply(bench::Warm);
BENCHMARK_CAPTURE(BM_CorrectAndReverse, two_pass_cold, false, true)->Apply(bench::Cold);
BENCHMARK_CAPTURE(BM_CorrectAndReverse, fused_cold, true, true)->Apply(bench::Cold);

// The line-reversed copy alone, beside a plain memcpy of the same 614,400 bytes.
void BM_ReversedCopy(benchmark::State& state, bool cold) {
    CorrectionData& data = CorrectionData::Shared();
    const std::uint16_t* in = data.pristine.data();
    std::uint16_t* out = data.out.data();
    RunSideBySide(
        state, cold, [] {}, [&] { CopyLinesReversed(in, out, kFrameWidth, kFrameHeight); },
        [&] { NaiveReversedCopy(in, out); }, [&] { std::memcpy(out, in, kFramePixels * sizeof(std::uint16_t)); });
}
BENCHMARK_CAPTURE(BM_ReversedCopy, warm, false)->Apply(bench::Warm);
BENCHMARK_CAPTURE(BM_ReversedCopy, cold, true)->Apply(bench::Cold);

}  // namespace
}  // namespace calidra
