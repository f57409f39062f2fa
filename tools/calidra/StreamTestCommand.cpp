// calidra stream-test: how regularly frames arrive, as a stream tester sees it.
#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "Camera.h"
#include "CommandLine.h"
#include "Commands.h"
#include "ErrorCodes.h"
#include "ExitCode.h"
#include "Numbers.h"

namespace calidra::tool {

namespace {

constexpr const char* kHelp =
    "Usage: calidra stream-test [options]\n"
    "\n"
    "Previews for a while and reports what arrived: frames received, the measured rate\n"
    "beside the one the library reports (parameter 3), the gaps between frame messages,\n"
    "the calibration hold-offs seen (gaps of half the hold-off time or more), frame ids\n"
    "that came twice, and every error or event code posted.\n"
    "\n"
    "  --seconds S   how long to preview (default 5)\n"
    "\n"
    "Exits 0 when frames arrived and no code but the ERR_UNSUPPORTED event of the preview\n"
    "start was posted.\n";

}  // namespace

int RunStreamTest(CommandArgs args) {
    CommandLine line("stream-test", kHelp, {{"seconds", true}}, true);
    if (auto exit = line.Parse(args)) return *exit;
    if (!line.Positionals().empty()) return line.UsageError("stream-test takes no arguments");
    double seconds = 5.0;
    if (auto text = line.Args().Get("seconds")) {
        auto value = Numbers::ParseDouble(*text);
        if (!value || !(*value > 0.0) || *value > 86400.0) return line.UsageError("--seconds takes a time in seconds");
        seconds = *value;
    }
    Console& console = line.Out();
    int exitCode = kExitOk;
    auto camera = Camera::Open(line.Camera(), console, true, &exitCode);
    if (!camera) return exitCode;
    const unsigned long handle = camera->Handle();
    const int holdOffMs = Calidra_GetParam(handle, CALIDRA_PARAM_NUC_HOLD_OFF_MS);
    if (!camera->StartPreview()) return kExitFailed;

    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> arrivals;
    std::set<long long> ids;
    long long duplicates = 0;
    std::map<int, int> codes;
    const auto start = Clock::now();
    WaitResult result =
        camera->Pump(std::chrono::milliseconds(static_cast<long long>(seconds * 1000)), [&](const CALIDRA_MSG* msg) {
            if (msg == nullptr) {
                double time = std::chrono::duration<double>(Clock::now() - start).count();
                console.Progress("frames " + std::to_string(arrivals.size()) + "  " + Numbers::Fixed(time, 1) + " s");
                return false;
            }
            if (msg->message == WM_CAMERA_FRAME) {
                arrivals.push_back(Clock::now());
                if (!ids.insert(static_cast<long long>(msg->lParam)).second) ++duplicates;
            } else if (msg->message == WM_CAMERA_ERROR) {
                ++codes[static_cast<int>(msg->lParam)];
            }
            return false;
        });
    const int reportedRate = Calidra_GetParam(handle, CALIDRA_PARAM_FRAME_RATE_X100);
    camera->StopPreview();
    console.EndProgress();
    if (result == WaitResult::kInterrupted) {
        console.Out("interrupted; the report covers what arrived so far");
        exitCode = kExitInterrupted;
    }

    auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    console.Out("frames received      " + std::to_string(arrivals.size()));
    if (arrivals.size() >= 2) {
        double span = ms(arrivals.back() - arrivals.front());
        console.Out("measured rate        " + Numbers::Fixed((arrivals.size() - 1) * 1000.0 / span, 2) +
                    " fps (library reports " + Numbers::Fixed(reportedRate / 100.0, 2) + ")");
        std::vector<double> gaps;
        for (std::size_t i = 1; i < arrivals.size(); ++i) gaps.push_back(ms(arrivals[i] - arrivals[i - 1]));
        double total = 0;
        for (double gap : gaps) total += gap;
        console.Out("frame gaps           min " + Numbers::Fixed(*std::min_element(gaps.begin(), gaps.end()), 1) +
                    " ms, mean " + Numbers::Fixed(total / gaps.size(), 1) + " ms, max " +
                    Numbers::Fixed(*std::max_element(gaps.begin(), gaps.end()), 1) + " ms");
        const double holdOffGap = std::max(holdOffMs, 2) / 2.0;
        long long holdOffs = std::count_if(gaps.begin(), gaps.end(), [&](double gap) { return gap >= holdOffGap; });
        console.Out("hold-offs seen       " + std::to_string(holdOffs) + " (gaps of " + Numbers::Fixed(holdOffGap, 0) +
                    " ms or more)");
    }
    if (!arrivals.empty()) {
        console.Out("first frame after    " + Numbers::Fixed(ms(arrivals.front() - start), 1) + " ms");
    }
    console.Out("duplicate frame ids  " + std::to_string(duplicates));
    if (codes.empty()) console.Out("error codes          none");
    bool troubled = duplicates != 0;
    for (auto [code, count] : codes) {
        console.Out("error code           " + ErrorCodes::Describe(code) + "  x" + std::to_string(count));
        if (code != ERR_UNSUPPORTED) troubled = true;
    }
    if (exitCode != kExitOk) return exitCode;
    if (arrivals.empty() || result == WaitResult::kStreamEnded) return kExitNoFrames;
    return troubled ? kExitFailed : kExitOk;
}

}  // namespace calidra::tool
