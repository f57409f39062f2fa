// Live acquisition end to end through the exported functions: the frames per
// second the acquisition loop delivers with the virtual camera at full speed
// and no sleep, and the processor time the library's threads take at the
// camera's 30 frames per second. The simulated camera renders its frames in
// the library's stream thread; it keeps count of the processor time that takes,
// which is reported beside the figures and taken out of the library's share.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "calidra.h"
#include "calidra_sim.h"
#include "calidra_window.h"
#include "driver/VirtualCamera.h"
#include "driver/VirtualDriver.h"

namespace calidra {
namespace {

constexpr unsigned kFrameMessage = 0x8002;

using Steady = std::chrono::steady_clock;

// Processor seconds each thread of this process has run, by thread id, from
// the scheduler's nanosecond account.
std::map<int, double> ThreadSeconds() {
    std::map<int, double> seconds;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return seconds;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string path = std::string("/proc/self/task/") + entry->d_name + "/schedstat";
        if (std::FILE* file = std::fopen(path.c_str(), "r")) {
            unsigned long long ns = 0;
            if (std::fscanf(file, "%llu", &ns) == 1) seconds[std::atoi(entry->d_name)] = ns * 1e-9;
            std::fclose(file);
        }
    }
    closedir(tasks);
    return seconds;
}

// Processor seconds of every thread but the calling one between two readings,
// oldest thread first: the library's threads (the benchmark runs none of its
// own). Preview starts the device's stream thread before the acquisition
// thread, so the first is the stream thread, which also runs the simulation.
std::vector<double> LibrarySeconds(const std::map<int, double>& before, const std::map<int, double>& after) {
    const int self = static_cast<int>(gettid());
    std::vector<double> threads;
    for (const auto& [thread, seconds] : after) {
        if (thread == self) continue;
        const auto earlier = before.find(thread);
        threads.push_back(seconds - (earlier != before.end() ? earlier->second : 0.0));
    }
    return threads;
}

// Processor seconds the simulated camera has spent rendering and delivering
// frames, in whatever thread asked for them.
double SimulationSeconds() {
    const sim::VirtualCamera* camera = sim::VirtualDriver::Instance().Camera(0);
    return camera != nullptr ? static_cast<double>(camera->FrameNanoseconds()) * 1e-9 : 0.0;
}

// One instance previewing on the virtual camera with a message window.
class LiveInstance {
public:
    LiveInstance(double framesPerSecond, int sleepMs) {
        CalidraSim_Reset();
        CalidraSim_SetFrameRate(0, framesPerSecond);
        window_ = CalidraWindow_Create();
        handle_ = Calidra_Initialize(window_);
        Calidra_SetParam(handle_, 9, sleepMs);
        // No automatic calibration: its hold-off would discard frames in the
        // middle of a measurement.
        Calidra_SetParam(handle_, 15, 0);
        previewing_ = handle_ != 0 && Calidra_Preview(handle_) == 1;
    }
    ~LiveInstance() {
        if (handle_ != 0) {
            Calidra_Close(handle_);
            Calidra_Release(handle_);
        }
        if (window_ != nullptr) CalidraWindow_Destroy(window_);
        CalidraSim_Reset();
    }
    bool Previewing() const { return previewing_; }
    // Frame messages taken off the queue since the last call.
    int TakeFrames() {
        CALIDRA_MSG message{};
        int frames = 0;
        while (CalidraWindow_WaitMessage(window_, &message, 0) == 1)
            if (message.message == kFrameMessage) ++frames;
        return frames;
    }

private:
    HWND window_ = nullptr;
    unsigned long handle_ = 0;
    bool previewing_ = false;
};

// Each iteration previews for `seconds` after a short start; the time per
// iteration is the wall time per delivered frame.
void BM_EndToEnd(benchmark::State& state, double framesPerSecond, int sleepMs, double seconds) {
    double frames = 0, rendered = 0, elapsed = 0, libraryCpu = 0, simCpu = 0, streamCpu = 0, loopCpu = 0;
    for (auto _ : state) {
        LiveInstance live(framesPerSecond, sleepMs);
        if (!live.Previewing()) return state.SkipWithError("preview failed");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        live.TakeFrames();
        // While streaming the camera receives nothing but one start-frame
        // packet per frame it renders.
        const int packetsBefore = CalidraSim_GetCommandLog(0, nullptr, 0);
        const auto cpuBefore = ThreadSeconds();
        const double simBefore = SimulationSeconds();
        const auto begin = Steady::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const auto cpuAfter = ThreadSeconds();
        simCpu += SimulationSeconds() - simBefore;
        rendered += CalidraSim_GetCommandLog(0, nullptr, 0) - packetsBefore;
        const double wall = std::chrono::duration<double>(Steady::now() - begin).count();
        const int delivered = live.TakeFrames();
        state.SetIterationTime(delivered > 0 ? wall / delivered : wall);
        frames += delivered;
        elapsed += wall;
        const std::vector<double> threads = LibrarySeconds(cpuBefore, cpuAfter);
        for (double cpu : threads) libraryCpu += cpu;
        if (threads.size() == 2) {
            streamCpu += threads[0];
            loopCpu += threads[1];
        }
    }
    if (frames == 0 || elapsed == 0) return state.SkipWithError("no frames");
    state.counters["fps"] = frames / elapsed;
    // At full speed the camera renders more frames than the loop takes.
    state.counters["rendered_fps"] = rendered / elapsed;
    state.counters["sim_us"] = rendered > 0 ? simCpu * 1e6 / rendered : 0.0;
    state.counters["library_us"] = libraryCpu * 1e6 / frames;
    state.counters["cpu_pct"] = 100.0 * libraryCpu / elapsed;
    state.counters["cpu_pct_without_sim"] = 100.0 * std::max(0.0, libraryCpu - simCpu) / elapsed;
    state.counters["stream_pct"] = 100.0 * streamCpu / elapsed;
    state.counters["loop_pct"] = 100.0 * loopCpu / elapsed;
    // The acquisition thread's own time per frame: the rate it could keep up
    // with a core to itself is the inverse.
    state.counters["loop_us"] = loopCpu * 1e6 / frames;
}

const bool kRegistered = [] {
    auto settings = [](benchmark::internal::Benchmark* b) {
        b->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(1);
    };
    benchmark::RegisterBenchmark("BM_EndToEnd/full_speed", BM_EndToEnd, 0.0, 0, 2.0)->Apply(settings);
    benchmark::RegisterBenchmark("BM_EndToEnd/30fps", BM_EndToEnd, 30.0, 0, 3.0)->Apply(settings);
    benchmark::RegisterBenchmark("BM_EndToEnd/30fps_sleep10", BM_EndToEnd, 30.0, 10, 3.0)->Apply(settings);
    return true;
}();

}  // namespace
}  // namespace calidra
