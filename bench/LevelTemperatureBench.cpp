// The float temperature readout of one 640 x 480 frame through the level table:
// the table-of-float-sums kernel beside the plain loop and beside a pass that only widens
// each level to a float (the same bytes read and written), warm and cold.
#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <vector>

#include "SideBySide.h"
#include "pipeline/LevelTemperatures.h"

namespace calidra {
namespace {

constexpr std::size_t kPixels = 640 * 480;
constexpr std::uint32_t kLevels = 16384;

// The default table (a slope of 125 degrees over 3890 levels) and a frame of a
// scene spread over a few thousand levels.
struct ReadoutData {
    ReadoutData() {
        for (std::uint32_t i = 0; i < kLevels; ++i) {
            temperature[i] = static_cast<double>(i) * 0.032133676092544985 - 83.38688946015424;
            offset[i] = (i % 7) * 0.01;
        }
        bench::Lcg random(3);
        for (auto& level : levels) level = static_cast<std::uint16_t>(4000 + random.Next() % 5000);
    }
    static ReadoutData& Shared() {
        static ReadoutData data;
        return data;
    }
    std::vector<double> temperature = std::vector<double>(kLevels);
    std::vector<double> offset = std::vector<double>(kLevels);
    std::vector<std::uint16_t> levels = std::vector<std::uint16_t>(kPixels);
    std::vector<float> out = std::vector<float>(kPixels);
};

void WidenLevels(const std::uint16_t* in, float* out) {
    const __m128i zero = _mm_setzero_si128();
    for (std::size_t j = 0; j < kPixels; j += 8) {
        const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j));
        _mm_storeu_ps(out + j, _mm_cvtepi32_ps(_mm_unpacklo_epi16(raw, zero)));
        _mm_storeu_ps(out + j + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(raw, zero)));
    }
}

void BM_LevelTemperatures(benchmark::State& state, bool cold) {
    ReadoutData& data = ReadoutData::Shared();
    const LevelTableView table{kLevels, data.temperature, data.offset};
    const std::uint16_t* in = data.levels.data();
    float* out = data.out.data();
    bench::RunSideBySide(
        state, cold, [] {}, [&] { LevelTemperatures(in, out, kPixels, table); },
        [&] { LevelTemperaturesScalar(in, out, kPixels, table); }, [&] { WidenLevels(in, out); });
}
BENCHMARK_CAPTURE(BM_LevelTemperatures, warm, false)->Apply(bench::Warm);
BENCHMARK_CAPTURE(BM_LevelTemperatures, cold, true)->Apply(bench::Cold);

}  // namespace
}  // namespace calidra
