// calidra serve through its HTTP interface, with cpp-httplib's client, on a
// virtual camera that shows a known frame.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <thread>

#include "ToolFixture.h"
#include "calidra.h"
#include "calidra_sim.h"

namespace calidra::test {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

constexpr std::size_t kPixels = 640 * 480;
constexpr std::size_t kHeader = 32;
constexpr auto kPatience = std::chrono::seconds(60);  // a hang guard, never a timing

unsigned Le(const std::string& bytes, std::size_t at, int size) {
    unsigned value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::string JsonText(const std::string& json, const std::string& key) {
    std::smatch match;
    return std::regex_search(json, match, std::regex("\"" + key + "\":\"?([^\",}]*)")) ? match[1].str() : "";
}

// What the library itself gives for the frame: temperatures and, with a
// fixed colour range, the colour picture, both top row first.
struct LibraryFrame {
    std::vector<float> celsius = std::vector<float>(kPixels);
    std::vector<unsigned char> bgr = std::vector<unsigned char>(kPixels * 3);

    explicit LibraryFrame(const std::vector<std::uint16_t>& levels) {
        CalidraSim_SetFrame(0, levels.data());
        unsigned long handle = Calidra_Initialize(nullptr);
        for (auto [id, value] : {std::pair{CALIDRA_PARAM_FLIP_DISPLAY, 1},
                                 {CALIDRA_PARAM_AUTO_RANGE, 0},
                                 {CALIDRA_PARAM_RANGE_LOW, 4000},
                                 {CALIDRA_PARAM_RANGE_HIGH, 12000}}) {
            Calidra_SetParam(handle, id, value);
        }
        unsigned long id = Calidra_OneShot(handle);
        EXPECT_EQ(Calidra_GetTemperature(handle, id, celsius.data(), kPixels * 4), 1);
        EXPECT_EQ(Calidra_GetColor(handle, id, bgr.data(), kPixels * 3), 1);
        Calidra_Release(handle);
    }
};

class ToolServe : public ToolFixture {
protected:
    void SetUp() override {
        ToolFixture::SetUp();
        levels_ = TestFiles::PatternFrame(1);
        TestFiles::Write(Path("frame.raw"), TestFiles::RawBytes(levels_));
    }
    // calidra serve on the known frame (top row first), on a free port.
    void Start(std::vector<std::string> options = {}) {
        std::vector<std::string> argv = {BuiltPrograms::kTool, "serve",     "--listen", "127.0.0.1:0",
                                         "--out",      Path("out"), "--set",    "auto-nuc=0"};
        argv.insert(argv.end(), options.begin(), options.end());
        ::setenv("CALIDRA_SIM_FRAME", Path("frame.raw").c_str(), 1);
        server_ = std::make_unique<ChildProcess>(argv, dir_);
        ::unsetenv("CALIDRA_SIM_FRAME");
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        std::smatch port;
        while (!std::regex_search(out_ = server_->OutputSoFar(), port, std::regex(" at http://[^ ]*:([0-9]+)/")) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_FALSE(port.empty()) << Describe(server_->Wait(std::chrono::seconds(1)));
        port_ = std::stoi(port[1]);
        client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    }

    // The first frame there is, once frames flow.
    std::string FirstFrame(const std::string& format = "temperature") {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            auto result = client_->Get("/api/frame?after=0&format=" + format);
            if (result && result->status == 200) return result->body;
        }
        ADD_FAILURE() << "no frame came";
        return std::string(kHeader, '\0');
    }

    httplib::Result Post(const std::string& path, const std::string& form, httplib::Headers headers = {}) {
        return client_->Post(path, headers, form, "application/x-www-form-urlencoded");
    }

    // Waits until the status text matches.
    bool StatusShows(const std::string& pattern) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            auto status = client_->Get("/api/status");
            if (status && std::regex_search(status->body, std::regex(pattern))) return true;
        }
        return false;
    }

    // A raw connection that asks for the MJPEG stream; *statusLine is the
    // answer's first line. Closing it is a viewer leaving.
    int OpenStream(std::string* statusLine) {
        int socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::string request = "GET /stream.mjpeg HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        EXPECT_EQ(::send(socket, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
        std::string answer;
        char byte;
        while (answer.find("\r\n") == std::string::npos && ::recv(socket, &byte, 1, 0) == 1) answer += byte;
        *statusLine = answer.substr(0, answer.find("\r\n"));
        return socket;
    }

    std::vector<std::uint16_t> levels_;
    std::unique_ptr<ChildProcess> server_;
    std::unique_ptr<httplib::Client> client_;
    std::string out_;
    int port_ = 0;
};

TEST_F(ToolServe, FrameHoldsTheLibrarysTemperaturesInHundredthsOfAKelvin) {
    Start();
    const std::string frame = FirstFrame();
    ASSERT_EQ(frame.size(), kHeader + kPixels * 2);
    EXPECT_EQ(frame.substr(0, 4), "CLVF");
    EXPECT_EQ(Le(frame, 4, 2), kHeader);
    EXPECT_EQ(Le(frame, 6, 2), 0u);
    EXPECT_NE(Le(frame, 8, 4), 0u);
    EXPECT_EQ(Le(frame, 12, 2), 640u);
    EXPECT_EQ(Le(frame, 14, 2), 480u);
    double scale, offset;
    std::memcpy(&scale, frame.data() + 16, 8);
    std::memcpy(&offset, frame.data() + 24, 8);
    EXPECT_EQ(scale, 0.01);
    EXPECT_EQ(offset, -273.15);

    LibraryFrame library(levels_);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < kPixels; ++i) {
        const double centikelvin = std::round((library.celsius[i] + 273.15) * 100.0);
        const unsigned expected = std::isnan(centikelvin) ? 0 : unsigned(std::clamp(centikelvin, 0.0, 65535.0));
        if (Le(frame, kHeader + 2 * i, 2) != expected && wrong++ == 0) ADD_FAILURE() << "first wrong pixel " << i;
    }
    EXPECT_EQ(wrong, 0u);
}

TEST_F(ToolServe, ColourFrameAndPaletteAreTheLibrarys) {
    Start({"--set", "auto-range=0", "--set", "range-low=4000", "--set", "range-high=12000"});
    const std::string frame = FirstFrame("color");
    ASSERT_EQ(frame.size(), kHeader + kPixels * 3);
    EXPECT_EQ(Le(frame, 6, 2), 1u);
    LibraryFrame library(levels_);
    EXPECT_EQ(std::memcmp(library.bgr.data(), frame.data() + kHeader, kPixels * 3), 0);

    // The page colours temperatures with the palette of the library's pictures.
    const std::string palette = client_->Get("/api/palette")->body;
    std::vector<unsigned> colours;
    const std::regex colour("\"#([0-9a-f]{6})\"");
    for (auto it = std::sregex_iterator(palette.begin(), palette.end(), colour); it != std::sregex_iterator(); ++it) {
        colours.push_back(std::stoul((*it)[1].str(), nullptr, 16));
    }
    ASSERT_EQ(colours.size(), 360u);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < kPixels; ++i) {
        if (levels_[i] <= 4000 || levels_[i] >= 12000) continue;
        const unsigned entry = colours[static_cast<std::size_t>((levels_[i] - 4000) * 360.0 / 8000)];
        wrong += entry != (Le(frame, kHeader + 3 * i + 2, 1) << 16 | Le(frame, kHeader + 3 * i + 1, 1) << 8 |
                           Le(frame, kHeader + 3 * i, 1));
    }
    EXPECT_EQ(wrong, 0u);
}

TEST_F(ToolServe, FramePollsWaitForANewerFrame) {
    Start({"--set", "nuc-hold-off-ms=20000"});
    std::set<unsigned> seen = {Le(FirstFrame(), 8, 4)};
    unsigned latest = *seen.begin();
    // A busy machine may keep a frame from coming within the poll's second (204).
    for (int polls = 0; seen.size() < 6 && polls < 60; ++polls) {
        auto result = client_->Get("/api/frame?after=" + std::to_string(latest));
        if (result->status == 204) continue;
        ASSERT_EQ(result->status, 200);
        latest = Le(result->body, 8, 4);
        ASSERT_TRUE(seen.insert(latest).second) << latest;
    }
    EXPECT_EQ(seen.size(), 6u);
    EXPECT_EQ(client_->Get("/api/frame?after=-1")->status, 400);
    EXPECT_EQ(client_->Get("/api/frame?format=gif")->status, 400);

    // While the calibration holds frames back, a poll ends without one. A
    // frame the loop took before the request may still come first.
    ASSERT_EQ(Post("/api/nuc", "")->status, 200);
    int status = 200;
    for (int i = 0; i < 3 && status == 200; ++i) {
        auto result = client_->Get("/api/frame?after=" + std::to_string(latest));
        status = result->status;
        if (status == 200) latest = Le(result->body, 8, 4);
    }
    EXPECT_EQ(status, 204);
    EXPECT_TRUE(StatusShows("\"holdOffMs\":20000,\"remainingMs\":[1-9]"));
}

TEST_F(ToolServe, SnapshotsAndRecordingsAreWholeFilesOfferedForDownload) {
    Start();
    FirstFrame();
    auto raw = Post("/api/snapshot", "type=raw");
    ASSERT_EQ(raw->status, 200) << raw->body;
    const std::string rawName = JsonText(raw->body, "name");
    EXPECT_THAT(rawName, MatchesRegex("snapshot-[0-9]{8}-[0-9]{6}\\.raw"));
    // A raw still holds the bottom row first, as snap writes it.
    std::vector<std::uint16_t> bottomFirst;
    for (int row = 479; row >= 0; --row)
        bottomFirst.insert(bottomFirst.end(), &levels_[row * 640], &levels_[row * 640 + 640]);
    EXPECT_TRUE(TestFiles::Read(Path("out/" + rawName)) == TestFiles::RawBytes(bottomFirst));

    auto png = Post("/api/snapshot", "type=png");
    ASSERT_EQ(png->status, 200) << png->body;
    auto download = client_->Get(JsonText(png->body, "url"));
    EXPECT_EQ(download->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(download->body.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(static_cast<long long>(download->body.size()),
              TestFiles::Size(Path("out/" + JsonText(png->body, "name"))));

    ASSERT_EQ(Post("/api/record", "action=start&kind=avi")->status, 200);
    EXPECT_EQ(Post("/api/record", "action=start&kind=raw")->status, 409);
    EXPECT_TRUE(StatusShows("\"recording\":\\{\"active\":true,[^}]*\"frames\":[2-9]"));
    auto stop = Post("/api/record", "action=stop");
    ASSERT_EQ(stop->status, 200) << stop->body;
    const std::string aviName = JsonText(stop->body, "file");
    AviFacts avi = TestFiles::InspectAvi(Path("out/" + aviName));
    EXPECT_TRUE(avi.finished);
    EXPECT_GE(avi.frames, 2);
    EXPECT_EQ(Post("/api/record", "action=stop")->status, 409);
    const std::string files = client_->Get("/api/files")->body;
    for (const std::string& name : {rawName, JsonText(png->body, "name"), aviName}) EXPECT_THAT(files, HasSubstr(name));
}

TEST_F(ToolServe, FilesThatCannotBeWrittenAreReportedWithTheLibrarysCode) {
    Start();
    FirstFrame();
    std::filesystem::remove_all(Path("out"));
    auto record = Post("/api/record", "action=start");
    EXPECT_EQ(record->status, 500);
    EXPECT_THAT(record->body, HasSubstr("could not be opened: ERR_FILE (9)"));
    EXPECT_EQ(Post("/api/record", "action=stop")->status, 409);
    auto snapshot = Post("/api/snapshot", "type=png");
    EXPECT_EQ(snapshot->status, 500);
    EXPECT_THAT(snapshot->body, HasSubstr("Calidra_SaveA failed: ERR_FILE (9)"));
}

TEST_F(ToolServe, ViewersBeyondTheCapGet503AndALeavingViewerFreesItsPlace) {
    Start();
    std::vector<int> streams;
    std::string line;
    for (int i = 0; i < 4; ++i) {
        streams.push_back(OpenStream(&line));
        EXPECT_EQ(line, "HTTP/1.1 200 OK");
    }
    streams.push_back(OpenStream(&line));
    EXPECT_EQ(line, "HTTP/1.1 503 Service Unavailable");
    EXPECT_EQ(client_->Get("/api/frame")->status, 503);
    ::close(streams[0]);
    EXPECT_TRUE(StatusShows("\"viewers\":\\{\"active\":3,"));
    EXPECT_EQ(client_->Get("/api/frame")->status, 200);
    for (std::size_t i = 1; i < streams.size(); ++i) ::close(streams[i]);
}

TEST_F(ToolServe, OffLoopbackControlsAndFilesNeedTheToken) {
    Start({"--listen", "0.0.0.0:0"});
    std::smatch token;
    ASSERT_TRUE(std::regex_search(out_, token, std::regex("need the token ([0-9a-f]{32})\n")));
    EXPECT_EQ(client_->Get("/api/status")->status, 200);
    EXPECT_EQ(Post("/api/nuc", "")->status, 403);
    EXPECT_EQ(Post("/api/nuc", "", {{"X-Calidra-Token", std::string(32, '0')}})->status, 403);
    EXPECT_EQ(Post("/api/nuc", "", {{"X-Calidra-Token", token[1]}})->status, 200);
    auto snapshot = Post("/api/snapshot", "type=bmp&token=" + token[1].str());
    ASSERT_EQ(snapshot->status, 200) << snapshot->body;
    const std::string url = JsonText(snapshot->body, "url");
    EXPECT_EQ(client_->Get(url)->status, 403);
    EXPECT_EQ(client_->Get(url + "?token=" + token[1].str())->body.size(), 921654u);
}

TEST_F(ToolServe, OtherSitesAndNamesOutsideItsFilesAreRefused) {
    Start();
    EXPECT_EQ(client_->Get("/api/status", {{"Host", "rebound.example:8080"}})->status, 403);
    EXPECT_EQ(Post("/api/nuc", "", {{"Origin", "http://elsewhere.example"}})->status, 403);
    TestFiles::Write(Path("out/planted.raw"), {1, 2});
    for (const std::string name : {"planted.raw", "..%2Fframe.raw", "%2E%2E", "frame.raw"}) {
        EXPECT_EQ(client_->Get("/files/" + name)->status, 404) << name;
    }
    EXPECT_EQ(Post("/api/snapshot", "type=gif")->status, 400);
    EXPECT_EQ(Post("/api/param", "name=ring-length&value=10")->status, 422);
    EXPECT_EQ(Post("/api/param", "name=register-80&value=32")->status, 400);
    EXPECT_EQ(Post("/api/param", "name=" + std::string(5000, 'x'))->status, 413);
}

TEST_F(ToolServe, CtrlCFinishesTheRecordingAndExitsZero) {
    Start();
    FirstFrame();
    auto start = Post("/api/record", "action=start&kind=avi");
    ASSERT_EQ(start->status, 200) << start->body;
    server_->Signal(SIGINT);
    ProcessResult result = server_->Wait(kPatience);
    server_.reset();
    ASSERT_EQ(result.exitCode, 0) << Describe(result);
    EXPECT_THAT(result.out, HasSubstr("stopped by Ctrl-C"));
    EXPECT_TRUE(TestFiles::InspectAvi(Path("out/" + JsonText(start->body, "file"))).finished);
}

}  // namespace
}  // namespace calidra::test
