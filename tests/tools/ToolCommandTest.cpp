// The calidra tool's help, its usage errors, and the commands that only ask.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "ToolFixture.h"

namespace calidra::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::vector<std::string> kCommands = {"list", "info",     "snap",    "record", "stream-test", "param",
                                            "nuc",  "nuc-data", "convert", "serve",  "repair",      "demo"};

class ToolHelp : public ToolFixture {};

TEST_F(ToolHelp, EveryCommandDescribesItselfAndTheExitCodes) {
    for (const std::string& command : kCommands) {
        SCOPED_TRACE(command);
        ProcessResult result = Tool({command, "--help"});
        EXPECT_EQ(result.exitCode, 0) << Describe(result);
        EXPECT_THAT(result.out, StartsWith("Usage: calidra " + command));
        EXPECT_THAT(result.out, HasSubstr("Exit codes:"));
        EXPECT_THAT(result.out, HasSubstr("  3    the camera is absent or cannot be set up"));
        EXPECT_EQ(result.err, "");
        // 'calidra help CMD' is the same text.
        EXPECT_EQ(Tool({"help", command}).out, result.out);
    }
}

TEST_F(ToolHelp, TopLevelHelpListsEveryCommand) {
    ProcessResult result = Tool({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    for (const std::string& command : kCommands) EXPECT_THAT(result.out, HasSubstr("\n  " + command + " "));
    // Without a command the tool shows the same text but says it was not used right.
    ProcessResult bare = Tool({});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.out, result.out);
}

class ToolUsage : public ToolFixture {};

TEST_F(ToolUsage, WrongCommandLinesExitTwoAndPointToHelp) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"snap", "--bogus", "x.png"}, "unknown option --bogus"},
        {{"snap", "--format", "gif", "x.gif"}, "unknown --format 'gif'"},
        {{"snap", "--all", "--format", "png", "x"}, "--all or --format, not both"},
        {{"snap"}, "snap takes exactly one OUT"},
        {{"snap", "--camera", "8", "x.png"}, "--camera takes a camera number from 0 to 7"},
        {{"snap", "--set", "range-low", "x.png"}, "--set takes NAME=VALUE"},
        {{"snap", "--sim-cameras", "0,9", "x.png"}, "--sim-cameras takes camera numbers 0..7"},
        {{"record", "--kind", "mp4", "x"}, "--kind takes raw, avi or temp"},
        {{"record", "--seconds", "soon", "x.avi"}, "--seconds takes a time in seconds"},
        {{"param", "get", "brightness"}, "'brightness' is neither a parameter name nor a number"},
        {{"param", "set", "13"}, "param set takes ID and VALUE"},
        {{"convert", "in.raw", "--to", "jpg", "out"}, "--to takes png16, tiff16 or csv"},
        {{"nuc-data", "load", "x", "--nuc"}, "--nuc goes with save"},
        {{"serve", "--listen", "example.com:80"}, "--listen takes HOST:PORT"},
        {{"serve", "--listen", "127.0.0.1:65536"}, "--listen takes HOST:PORT"},
        {{"repair", "--kind", "mp4", "x"}, "--kind takes raw, avi or temp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        ProcessResult result = Tool(c.args);
        EXPECT_EQ(result.exitCode, 2) << Describe(result);
        EXPECT_THAT(result.err, HasSubstr(c.message));
        EXPECT_THAT(result.err, HasSubstr("--help"));
    }
}

class ToolList : public ToolFixture {};

TEST_F(ToolList, DefaultVirtualCameraIsNumberZero) {
    ProcessResult result = Tool({"list"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_EQ(result.out,
              "camera  name           state\n"
              "0       CalidraVX_01   present\n"
              "1       -              absent\n"
              "2       -              absent\n"
              "3       -              absent\n"
              "4       -              absent\n"
              "5       -              absent\n"
              "6       -              absent\n"
              "7       -              absent\n");
}

TEST_F(ToolList, SimCamerasChoosesWhichArePresent) {
    ProcessResult result = Tool({"list", "--sim-cameras", "1,7"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("0       -              absent\n"));
    EXPECT_THAT(result.out, HasSubstr("1       CalidraVX_02   present\n"));
    EXPECT_THAT(result.out, HasSubstr("7       CalidraVX_08   present\n"));
    // Listing with no camera at all is no failure.
    EXPECT_EQ(Tool({"list", "--sim-cameras", "none"}).exitCode, 0);
}

TEST_F(ToolList, EnvironmentShapesTheVirtualCamerasAtLoadAndOptionsWin) {
    ::setenv("CALIDRA_SIM_CAMERAS", "2,5", 1);
    ::setenv("CALIDRA_SIM_FPS", "fast", 1);
    ProcessResult fromEnvironment = Tool({"list"});
    ProcessResult fromOption = Tool({"list", "--sim-cameras", "1"});
    ::unsetenv("CALIDRA_SIM_CAMERAS");
    ::unsetenv("CALIDRA_SIM_FPS");
    ASSERT_EQ(fromEnvironment.exitCode, 0) << Describe(fromEnvironment);
    EXPECT_THAT(fromEnvironment.out, HasSubstr("0       -              absent\n"));
    EXPECT_THAT(fromEnvironment.out, HasSubstr("5       CalidraVX_06   present\n"));
    EXPECT_EQ(fromEnvironment.err,
              "libcalidra: CALIDRA_SIM_FPS='fast' ignored: it takes frames per second from 0 to 1000\n");
    EXPECT_THAT(fromOption.out, HasSubstr("1       CalidraVX_02   present\n"));
    EXPECT_THAT(fromOption.out, HasSubstr("5       -              absent\n"));
}

class ToolInfo : public ToolFixture {};

TEST_F(ToolInfo, PrintsVersionAndParameterDefaults) {
    ProcessResult result = Tool({"info"});
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("library version      20.1101 (0x0014044D)\n"));
    EXPECT_THAT(result.out, HasSubstr("camera               0 (CalidraVX_01)\n"));
    EXPECT_TRUE(std::regex_search(result.out, std::regex("internal temperature -?[0-9]+\\.[0-9]{2} C\n")));
    const std::pair<std::string, int> defaults[] = {
        {"1   width", 640},     {"2   height", 480},           {"8   ring-length", 30},
        {"9   sleep-ms", 10},   {"10  nuc-hold-off-ms", 1200}, {"11  file-limit-mib", 2000},
        {"12  auto-range", -1}, {"13  range-low", 1000},       {"14  range-high", 3000},
        {"15  auto-nuc", 1},    {"16  temp-range", 0},         {"17  flip-display", 0},
        {"18  flip-file", 0},   {"5   previewing", 0},         {"7   recording", 0},
    };
    for (const auto& [name, value] : defaults) {
        std::string line = name;
        line.resize(21, ' ');
        std::string text = std::to_string(value);
        line += std::string(6 - text.size(), ' ') + text + "  ";
        EXPECT_THAT(result.out, HasSubstr("\n" + line)) << name;
    }
}

TEST_F(ToolInfo, MissingCamerasExitThreeWithTheReason) {
    ProcessResult none = Tool({"info", "--sim-cameras", "none"});
    EXPECT_EQ(none.exitCode, 3) << Describe(none);
    EXPECT_THAT(none.err, HasSubstr("no camera is present"));

    ProcessResult absent = Tool({"info", "--camera", "3"});
    EXPECT_EQ(absent.exitCode, 3) << Describe(absent);
    EXPECT_THAT(absent.err, HasSubstr("ERR_CAMERA (2): the camera is absent or cannot be set up"));

    // Without --camera the first camera present is taken.
    ProcessResult other = Tool({"info", "--sim-cameras", "2,5"});
    EXPECT_EQ(other.exitCode, 0) << Describe(other);
    EXPECT_THAT(other.out, HasSubstr("camera               2 (CalidraVX_03)\n"));
}

class ToolParam : public ToolFixture {};

TEST_F(ToolParam, ReadsAndWritesByNameAndNumber) {
    ProcessResult width = Tool({"param", "get", "width"});
    EXPECT_EQ(width.exitCode, 0) << Describe(width);
    EXPECT_EQ(width.out, "1   width            640\n");
    EXPECT_EQ(Tool({"param", "get", "14"}).out, "14  range-high       3000\n");

    ProcessResult autoNuc = Tool({"param", "set", "auto-nuc", "7"});
    EXPECT_EQ(autoNuc.exitCode, 0) << Describe(autoNuc);
    EXPECT_EQ(autoNuc.out, "set 15  auto-nuc         7\nnow 15  auto-nuc         1\n");

    // --set on any camera command applies before the work.
    ProcessResult info = Tool({"info", "--set", "range-low=500", "--set", "17=1"});
    EXPECT_THAT(info.out, HasSubstr("\n13  range-low           500  "));
    EXPECT_THAT(info.out, HasSubstr("\n17  flip-display          1  "));
}

TEST_F(ToolParam, RefusedWritesNameTheirCodes) {
    ProcessResult ring = Tool({"param", "set", "ring-length", "10"});
    EXPECT_EQ(ring.exitCode, 1) << Describe(ring);
    EXPECT_THAT(ring.err, HasSubstr("ERR_ARGUMENT (5): an argument is out of range"));

    ProcessResult range = Tool({"param", "set", "temp-range", "2"});
    EXPECT_EQ(range.exitCode, 1) << Describe(range);
    EXPECT_THAT(range.err, HasSubstr("ERR_UNSUPPORTED (10)"));

    ProcessResult viaSet = Tool({"info", "--set", "ring-length=10"});
    EXPECT_EQ(viaSet.exitCode, 1) << Describe(viaSet);
    EXPECT_THAT(viaSet.err, HasSubstr("parameter 8 (ring-length) to 10 was refused"));
}

}  // namespace
}  // namespace calidra::test
