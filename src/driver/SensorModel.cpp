#include "driver/SensorModel.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

namespace calidra::sim {

namespace {

// Noise is read from a table at a random start per frame: a table one frame
// plus this much long gives every frame a different, contiguous window.
constexpr int kNoiseSpan = 65536;
constexpr double kNoiseSigma = 6.0;

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Uniform(std::uint64_t& state) { return static_cast<double>(SplitMix(state) >> 11) * (1.0 / 9007199254740992.0); }

// Near-normal deviate with unit spread (sum of twelve uniforms).
double Gaussian(std::uint64_t& state) {
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) sum += Uniform(state);
    return sum - 6.0;
}

// Never destroyed: a stream thread may still render frames while the process
// runs its exit-time destructors.
const std::vector<std::int16_t>& NoiseTable() {
    static const std::vector<std::int16_t>* table = [] {
        auto* values = new std::vector<std::int16_t>(kSensorPixels + kNoiseSpan);
        std::uint64_t state = 0x5EED0F7A3C1Bull;
        for (auto& v : *values) v = static_cast<std::int16_t>(std::lround(kNoiseSigma * Gaussian(state)));
        return values;
    }();
    return *table;
}

std::uint16_t ClampLevel(int v) {
    return static_cast<std::uint16_t>(v < 0 ? 0 : (v > SensorModel::kMaxLevel ? SensorModel::kMaxLevel : v));
}

// out[x] += trunc(gain[x] x signal[x]) for count pixels, clamped to the 14-bit
// range; four at a time with the same float products and truncations.
void AddSignal(const std::int16_t* signal, const float* gain, std::uint16_t* out, int count) {
    int x = 0;
    const __m128i zero = _mm_setzero_si128();
    for (; x + 4 <= count; x += 4) {
        const __m128i raw = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(signal + x));
        // Sign-extends the four signals to 32 bits.
        const __m128i wide = _mm_srai_epi32(_mm_unpacklo_epi16(raw, raw), 16);
        const __m128i add = _mm_cvttps_epi32(_mm_mul_ps(_mm_loadu_ps(gain + x), _mm_cvtepi32_ps(wide)));
        const __m128i levels = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(out + x)), zero);
        const __m128i sum = _mm_add_epi32(levels, add);
        // Saturating to 16 bits, then clamping, gives the clamped sums.
        const __m128i clamped =
            _mm_min_epi16(_mm_max_epi16(_mm_packs_epi32(sum, sum), zero), _mm_set1_epi16(SensorModel::kMaxLevel));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), clamped);
    }
    for (; x < count; ++x) out[x] = ClampLevel(out[x] + static_cast<int>(gain[x] * signal[x]));
}

std::int16_t ToLevel(double value) {
    return static_cast<std::int16_t>(std::lround(std::clamp(value, -16384.0, 16383.0)));
}

}  // namespace

SensorModel::SensorModel(std::uint64_t seed)
    : gain_(kSensorPixels), fixedOpen_(kSensorPixels), fixedClosed_(kSensorPixels) {
    std::uint64_t state = seed;
    std::vector<double> columnGain(kSensorWidth);
    std::vector<double> columnOffset(kSensorWidth);
    for (int x = 0; x < kSensorWidth; ++x) {
        columnGain[x] = 0.01 * Gaussian(state);
        columnOffset[x] = 40.0 * Gaussian(state);
    }
    const std::vector<std::int16_t>& background = scene_.Background();
    for (int i = 0; i < kSensorPixels; ++i) {
        int x = i % kSensorWidth;
        double gain = 1.0 + columnGain[x] + 0.03 * Gaussian(state);
        double offset = columnOffset[x] + 120.0 * Gaussian(state);
        gain_[i] = static_cast<float>(gain);
        fixedClosed_[i] = ToLevel(offset);
        fixedOpen_[i] = ToLevel(offset + gain * background[i]);
    }
    for (int k = 0; k < kDeadPixelCount; ++k) {
        int index = static_cast<int>(SplitMix(state) % kSensorPixels);
        // Half stuck dark, half stuck bright.
        deadPixels_[k] = {index, static_cast<std::uint16_t>(k % 2 == 0 ? 150 : 16100)};
    }
    NoiseTable();
}

void SensorModel::Render(const FrameConditions& conditions, std::uint16_t* out) const {
    const std::int16_t* fixed = conditions.shutterClosed ? fixedClosed_.data() : fixedOpen_.data();
    const std::int16_t* noise = NoiseTable().data() + conditions.noiseSeed % kNoiseSpan;
    const int base = conditions.baseLevel;
    int i = 0;
    // Eight pixels at a time in 16-bit lanes. With |base| <= 16384 the first sum
    // fits 16 bits; the second saturates only beyond the clamp, so the levels
    // are those of the plain sums below.
    if (base >= -16384 && base <= 16384) {
        const __m128i baseLanes = _mm_set1_epi16(static_cast<short>(base));
        const __m128i zero = _mm_setzero_si128();
        const __m128i top = _mm_set1_epi16(kMaxLevel);
        for (; i + 8 <= kSensorPixels; i += 8) {
            const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fixed + i));
            const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(noise + i));
            const __m128i v = _mm_adds_epi16(_mm_adds_epi16(f, baseLanes), n);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_min_epi16(_mm_max_epi16(v, zero), top));
        }
    }
    for (; i < kSensorPixels; ++i) out[i] = ClampLevel(fixed[i] + base + noise[i]);
    if (!conditions.shutterClosed) {
        for (const SpritePlacement& placement : scene_.Objects(conditions.frameNumber)) {
            const Sprite& sprite = *placement.sprite;
            int x0 = std::max(0, placement.left);
            int x1 = std::min(kSensorWidth, placement.left + sprite.width);
            int y0 = std::max(0, placement.top);
            int y1 = std::min(kSensorHeight, placement.top + sprite.height);
            for (int y = y0; y < y1; ++y) {
                const std::int16_t* row =
                    sprite.signal.data() + static_cast<std::size_t>(y - placement.top) * sprite.width - placement.left;
                const int lineStart = y * kSensorWidth;
                AddSignal(row + x0, gain_.data() + lineStart + x0, out + lineStart + x0, x1 - x0);
            }
        }
    }
    for (const DeadPixel& dead : deadPixels_) out[dead.index] = dead.level;
}

}  // namespace calidra::sim
