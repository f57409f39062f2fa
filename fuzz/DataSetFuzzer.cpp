// A data-set file image of any bytes, loaded into the correction state of one
// device object, which then corrects a frame with whatever it took: bad-pixel
// coordinates, plane sizes, level counts and NUC records come from the file.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "device/DataSetLoader.h"
#include "device/SensorCorrection.h"
#include "device/SensorFrame.h"
#include "device/SensorSettings.h"

namespace calidra {
namespace {

// A sensor that takes every setting and never waits: the fuzzer runs the
// loader thousands of times a second, not once per camera start.
class SilentSensor final : public SensorSettings {
public:
    int SetWord49(int value) override { return Take(values_.word49, value); }
    int SetReg48Mode(int value) override { return Take(values_.reg48Mode, value); }
    int SetPair40(int value) override { return Take(values_.pair40, value); }
    int SetPair42(int value) override { return Take(values_.pair42, value); }
    int SetPair64(int value) override { return Take(values_.pair64, value); }
    int SetPair66(int value) override { return Take(values_.pair66, value); }
    int SetPair68(int value) override { return Take(values_.pair68, value); }
    int SetPair70(int value) override { return Take(values_.pair70, value); }
    int CurrentPair40() const override { return values_.pair40; }
    void AssignSettings(const SensorSettingValues& values) override { values_ = values; }
    int WriteRegister(int, int) override { return 1; }
    void Sleep(std::uint32_t) override {}

private:
    static int Take(std::int32_t& recorded, int value) {
        recorded = value;
        return 1;
    }
    SensorSettingValues values_;
};

}  // namespace
}  // namespace calidra

namespace {

// A frame of varied levels, made once; each input corrects a copy of it.
const std::vector<std::uint16_t>& SceneFrame() {
    static const std::vector<std::uint16_t> scene = [] {
        std::vector<std::uint16_t> levels(calidra::kFramePixels);
        for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<std::uint16_t>(i * 7919u);
        return levels;
    }();
    return scene;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace calidra;
    // Set up once: the correction state keeps its 640 x 480 planes from one
    // input to the next, and a load refills them where they are.
    static SensorCorrection correction;
    static SilentSensor sensor;
    static std::vector<std::uint16_t> frame(kFramePixels);
    // Every load changes the planes: their float shadows, proven exact by the
    // unit tests over adversarial planes, would be rebuilt for each input.
    correction.Planes().UseShadows(false);

    DataSetLoader::LocateSections(data, size);
    // A file that is no data set changes nothing: marks in the state show it.
    const std::int32_t tag = correction.Planes().TagValue() ^ 0x5EED;
    correction.Planes().SetTagValue(tag);
    const std::size_t badPixels = correction.BadPixels().Entries().size();
    if (correction.LoadDataSet(data, size, sensor) != 1) {
        if (correction.Planes().TagValue() != tag || correction.BadPixels().Entries().size() != badPixels)
            __builtin_trap();
        return 0;
    }

    // The correction kernels, which AddressSanitizer leaves alone here, rely on it.
    if (!correction.Planes().Covers(kFramePixels)) __builtin_trap();
    // Everything the file filled is used the way a running camera uses it.
    std::copy(SceneFrame().begin(), SceneFrame().end(), frame.begin());
    correction.CorrectFrame(frame.data(), sensor);
    volatile float sink = 0.0f;
    for (std::uint32_t level : {0u, 1u, 2595u, 16383u, 16384u, 65535u}) {
        sink = sink + correction.Levels().TemperatureOfLevel(static_cast<std::uint16_t>(level));
    }
    for (const NucRecord& record : correction.NucTables().Records()) {
        if (!record.levels.empty()) sink = sink + record.levels.back();
    }
    return 0;
}
