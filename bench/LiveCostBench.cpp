// What live previewing costs per camera: 1, 2, 4 and 8 virtual cameras at 30
// frames per second, each with its own instance and message window, and a
// client thread per camera that takes every frame message and reads the colour
// picture, as a previewing client does. The whole process's processor time is
// measured; the virtual cameras count their own rendering, which is reported
// apart and taken out of the library's share.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "PreviewSession.h"
#include "calidra.h"
#include "calidra_sim.h"
#include "calidra_window.h"
#include "driver/VirtualCamera.h"
#include "driver/VirtualDriver.h"

namespace calidra {
namespace {

constexpr unsigned kFrameMessage = 0x8002;
constexpr double kFramesPerSecond = 30.0;
constexpr std::size_t kColourBytes = 640 * 480 * 3;

double ProcessSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double SimulationSeconds(int cameras) {
    double seconds = 0;
    for (int k = 0; k < cameras; ++k) {
        if (const sim::VirtualCamera* camera = sim::VirtualDriver::Instance().Camera(k))
            seconds += static_cast<double>(camera->FrameNanoseconds()) * 1e-9;
    }
    return seconds;
}

// One camera previewing into its own instance and window, and the client
// thread that reads every frame announced.
class PreviewClient {
public:
    explicit PreviewClient(int camera) : camera_(camera), session_(camera) {
        if (session_.Ok()) reader_ = std::thread([this] { Read(); });
    }
    ~PreviewClient() {
        stop_.store(true);
        if (reader_.joinable()) reader_.join();
    }
    bool Ok() const { return session_.Ok(); }
    int Delivered() const { return delivered_.load(); }
    int Failed() const { return failed_.load(); }
    int Rendered() const { return CalidraSim_GetCommandLog(camera_, nullptr, 0); }
    // Processor seconds the client thread has used, as of its last message or wait.
    double ClientSeconds() const { return static_cast<double>(clientNanoseconds_.load()) * 1e-9; }

private:
    void Read() {
        std::vector<unsigned char> picture(kColourBytes);
        CALIDRA_MSG message{};
        while (!stop_.load()) {
            if (CalidraWindow_WaitMessage(session_.Window(), &message, 50) == 1 && message.message == kFrameMessage) {
                const auto id = static_cast<unsigned long>(static_cast<std::uint32_t>(message.lParam));
                if (Calidra_GetColor(session_.Handle(), id, picture.data(), kColourBytes) == 1)
                    delivered_.fetch_add(1);
                else
                    failed_.fetch_add(1);
            }
            timespec now{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
            clientNanoseconds_.store(static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
                                     static_cast<std::uint64_t>(now.tv_nsec));
        }
    }

    const int camera_;
    PreviewSession session_;
    std::atomic<bool> stop_{false};
    std::atomic<int> delivered_{0};
    std::atomic<int> failed_{0};
    std::atomic<std::uint64_t> clientNanoseconds_{0};
    std::thread reader_;
};

// Counters, per camera: fps (frames read by the client each second), dropped
// (frames the camera rendered that never reached the client, each second), and
// in per cent of one core: whole_pct (the whole process), sim_pct (the virtual
// camera's own rendering), client_pct (the client thread: its waits for
// messages and its Calidra_GetColor calls) and library_pct (the rest: the
// library's own threads, the rendering taken out).
void BM_LiveCost(benchmark::State& state) {
    const int cameras = static_cast<int>(state.range(0));
    const double seconds = 4.0;
    for (auto _ : state) {
        CalidraSim_Reset();
        for (int k = 0; k < cameras; ++k) {
            CalidraSim_SetPresent(k, 1);
            CalidraSim_SetFrameRate(k, kFramesPerSecond);
        }
        std::vector<std::unique_ptr<PreviewClient>> clients;
        for (int k = 0; k < cameras; ++k) clients.push_back(std::make_unique<PreviewClient>(k));
        for (const auto& client : clients)
            if (!client->Ok()) return state.SkipWithError("preview failed");
        // The start-up is not what we measure: the first round of the 30-slot
        // ring touches its memory for the first time.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));

        std::vector<int> deliveredBefore, renderedBefore;
        double clientBefore = 0;
        for (const auto& client : clients) {
            deliveredBefore.push_back(client->Delivered());
            renderedBefore.push_back(client->Rendered());
            clientBefore += client->ClientSeconds();
        }
        const double cpuBefore = ProcessSeconds(), simBefore = SimulationSeconds(cameras);
        const auto begin = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double cpu = ProcessSeconds() - cpuBefore, sim = SimulationSeconds(cameras) - simBefore;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        double delivered = 0, rendered = 0, failed = 0, client = -clientBefore;
        for (std::size_t k = 0; k < clients.size(); ++k) {
            delivered += clients[k]->Delivered() - deliveredBefore[k];
            rendered += clients[k]->Rendered() - renderedBefore[k];
            failed += clients[k]->Failed();
            client += clients[k]->ClientSeconds();
        }
        clients.clear();
        CalidraSim_Reset();

        state.SetIterationTime(wall);
        const double perCamera = 100.0 / wall / cameras;
        state.counters["fps"] = delivered / wall / cameras;
        // The two counts are taken a moment apart: a frame in flight is no drop.
        state.counters["dropped"] = std::max(0.0, rendered - delivered - cameras) / wall / cameras;
        state.counters["read_failures"] = failed;
        state.counters["whole_pct"] = cpu * perCamera;
        state.counters["sim_pct"] = sim * perCamera;
        state.counters["client_pct"] = client * perCamera;
        state.counters["library_pct"] = std::max(0.0, cpu - sim - client) * perCamera;
    }
}
BENCHMARK(BM_LiveCost)
    ->ArgName("cameras")
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace calidra
