#include "device/PixelCorrection.h"

#include "device/SensorFrame.h"
#include "device/ShadowCorrection.h"

namespace calidra {

namespace {

std::uint16_t ClampOnly(std::uint16_t level) { return level > kMaxLevel ? kMaxLevel : level; }

CorrectionRun RunAt(const CorrectionPlanes& planes, std::size_t first) {
    return {planes.Gain().data() + first, planes.Offset().data() + first, planes.ShutterOffset().data() + first,
            planes.Scale().data() + first};
}

ShadowRun ShadowRunAt(const CorrectionShadow& shadow, std::size_t first) {
    return {shadow.High() + first, shadow.Low() + first, shadow.Offset() + first, shadow.Quads() + 4 * first};
}

// Chosen once: the processor does not change under a running library.
CorrectionKernel ActiveKernel() {
    static const CorrectionKernel kernel = CorrectionKernelFor(BestCorrectionPath());
    return kernel;
}
ShadowKernel ActiveShadowKernel() {
    static const ShadowKernel kernel = ShadowKernelFor(BestShadowPath());
    return kernel;
}

// The shadows of planes covering the frame, or nullptr when the doubles must serve.
const CorrectionShadow* UsableShadow(CorrectionPlanes& planes) {
    if (!ShadowBoundHolds()) return nullptr;
    const CorrectionShadow* shadow = planes.Shadow();
    return shadow != nullptr && shadow->Size() >= kFramePixels ? shadow : nullptr;
}

}  // namespace

void CorrectLevelsScalar(const std::uint16_t* in, std::uint16_t* out, std::size_t count, const CorrectionRun& run) {
    // The sums keep the order of the formula and the build never fuses a multiply
    // with an add, so this is the plain double evaluation bit for bit.
    for (std::size_t i = 0; i < count; ++i) {
        double v = ((static_cast<double>(in[i]) * run.gain[i] + run.offset[i]) + run.shutterOffset[i]) * run.scale[i];
        v = v > 16383.0 ? 16383.0 : v;
        // Also maps NaN, which a hostile data set can put in a plane, to 0.
        v = v >= 0.0 ? v : 0.0;
        out[i] = static_cast<std::uint16_t>(static_cast<std::int32_t>(v));
    }
}

bool CorrectionPathAvailable(CorrectionPath path) {
    switch (path) {
        case CorrectionPath::kScalar:
        case CorrectionPath::kSse2:
            return true;
        case CorrectionPath::kAvx2:
            // Also false where the operating system does not save the wide registers.
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2");
    }
    return false;
}

CorrectionKernel CorrectionKernelFor(CorrectionPath path) {
    if (!CorrectionPathAvailable(path)) return nullptr;
    switch (path) {
        case CorrectionPath::kScalar:
            return CorrectLevelsScalar;
        case CorrectionPath::kSse2:
            return CorrectLevelsSse2;
        case CorrectionPath::kAvx2:
            return CorrectLevelsAvx2;
    }
    return nullptr;
}

CorrectionPath BestCorrectionPath() {
    return CorrectionPathAvailable(CorrectionPath::kAvx2) ? CorrectionPath::kAvx2 : CorrectionPath::kSse2;
}

bool CorrectPixels(std::uint16_t* frame, CorrectionPlanes& planes) {
    if (frame == nullptr) return false;
    if (!planes.Covers(kFramePixels)) {
        for (std::size_t i = 0; i < kFramePixels; ++i) frame[i] = ClampOnly(frame[i]);
        return false;
    }
    if (const CorrectionShadow* shadow = UsableShadow(planes)) {
        DeferredPixels deferred;
        ActiveShadowKernel()(frame, frame, kFramePixels, ShadowRunAt(*shadow, 0), deferred);
        deferred.Finish();
    } else {
        ActiveKernel()(frame, frame, kFramePixels, RunAt(planes, 0));
    }
    return true;
}

bool CorrectPixelsReversed(const std::uint16_t* frame, std::uint16_t* destination, CorrectionPlanes& planes) {
    if (frame == nullptr || destination == nullptr) return false;
    const auto width = static_cast<std::size_t>(kFrameWidth);
    const bool usable = planes.Covers(kFramePixels);
    const CorrectionShadow* shadow = usable ? UsableShadow(planes) : nullptr;
    // One queue for the whole frame: pixels left to the doubles wait across lines.
    DeferredPixels deferred;
    for (std::size_t line = 0; line < static_cast<std::size_t>(kFrameHeight); ++line) {
        const std::uint16_t* in = frame + line * width;
        std::uint16_t* out = destination + (kFrameHeight - 1 - line) * width;
        if (shadow != nullptr) {
            ActiveShadowKernel()(in, out, width, ShadowRunAt(*shadow, line * width), deferred);
        } else if (usable) {
            ActiveKernel()(in, out, width, RunAt(planes, line * width));
        } else {
            for (std::size_t i = 0; i < width; ++i) out[i] = ClampOnly(in[i]);
        }
    }
    deferred.Finish();
    return usable;
}

}  // namespace calidra
