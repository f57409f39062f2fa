#include "driver/SimEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "support/ScratchFiles.h"

namespace calidra::sim {
namespace {

SimSettings ReadFrom(const std::map<std::string, std::string>& variables, std::vector<std::string>* problems) {
    return SimEnvironment::Read(
        [&](const char* name) -> std::optional<std::string> {
            auto it = variables.find(name);
            if (it == variables.end()) return std::nullopt;
            return it->second;
        },
        problems);
}

TEST(SimEnvironment, ValidValuesAreTakenAndEachBadOneIsReportedOnceAndIgnored) {
    test::ScratchDir dir("driver");
    {
        std::ofstream frame(dir.Path("frame.raw"), std::ios::binary);
        for (int i = 0; i < 640 * 480; ++i) frame.put(static_cast<char>(i & 0xFF)).put(static_cast<char>(0x12));
        std::ofstream(dir.Path("short.raw"), std::ios::binary) << "too short";
    }
    std::vector<std::string> problems;
    SimSettings good = ReadFrom({{"CALIDRA_SIM_FPS", "12.5"},
                                 {"CALIDRA_SIM_CAMERAS", "0,3"},
                                 {"CALIDRA_SIM_FRAME", dir.Narrow("frame.raw")},
                                 {"CALIDRA_VIRTUAL_CAMERA", "1"}},
                                &problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(good.framesPerSecond, 12.5);
    EXPECT_EQ(good.present, (std::vector<bool>{true, false, false, true, false, false, false, false}));
    ASSERT_TRUE(good.frame.has_value());
    EXPECT_EQ((*good.frame)[0], 0x1200);
    EXPECT_EQ((*good.frame)[640 * 480 - 1], 0x12FF);
    EXPECT_EQ(good.virtualCamera, true);
    EXPECT_EQ(ReadFrom({{"CALIDRA_SIM_CAMERAS", "none"}}, &problems).present, std::vector<bool>(8, false));

    const std::map<std::string, std::string> bad[] = {
        {{"CALIDRA_SIM_FPS", "fast"}},
        {{"CALIDRA_SIM_FPS", "1001"}},
        {{"CALIDRA_SIM_FPS", "-1"}},
        {{"CALIDRA_SIM_FPS", "nan"}},
        {{"CALIDRA_SIM_FPS", "30x"}},
        {{"CALIDRA_SIM_CAMERAS", "0,8"}},
        {{"CALIDRA_SIM_CAMERAS", "1,"}},
        {{"CALIDRA_SIM_CAMERAS", "12"}},
        {{"CALIDRA_SIM_FRAME", dir.Narrow("short.raw")}},
        {{"CALIDRA_SIM_FRAME", dir.Narrow("missing.raw")}},
        {{"CALIDRA_VIRTUAL_CAMERA", "yes"}},
    };
    for (const auto& variables : bad) {
        problems.clear();
        SimSettings settings = ReadFrom(variables, &problems);
        EXPECT_EQ(problems.size(), 1u) << variables.begin()->second;
        EXPECT_FALSE(settings.framesPerSecond || settings.present || settings.frame || settings.virtualCamera)
            << variables.begin()->second;
    }
}

}  // namespace
}  // namespace calidra::sim
