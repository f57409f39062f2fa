// Saving and loading a correction-data file (9.8 MB) while a camera previews at
// 30 frames per second, through a pipe drained or filled at 8 MiB/s: a slow
// disk. The device lock is held only to copy the planes out or swap new ones
// in, so frames keep coming while the file moves.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PreviewSession.h"
#include "calidra.h"
#include "calidra_sim.h"
#include "calidra_window.h"

namespace calidra {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr unsigned kFrameMessage = 0x8002;
constexpr std::size_t kChunkBytes = 256 * 1024;
constexpr double kDiskBytesPerSecond = 8.0 * 1024 * 1024;

// Moves a chunk every kChunkBytes / kDiskBytesPerSecond seconds: a disk of that speed.
void Pace(SteadyClock::time_point begin, std::size_t done) {
    std::this_thread::sleep_until(begin + std::chrono::duration_cast<SteadyClock::duration>(
                                              std::chrono::duration<double>(done / kDiskBytesPerSecond)));
}

std::vector<char> DrainSlowly(const std::string& fifo) {
    std::ifstream in(fifo, std::ios::binary);
    std::vector<char> bytes;
    std::vector<char> chunk(kChunkBytes);
    const auto begin = SteadyClock::now();
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + in.gcount());
        Pace(begin, bytes.size());
    }
    return bytes;
}

void FillSlowly(const std::string& fifo, const std::vector<char>& bytes) {
    std::ofstream out(fifo, std::ios::binary);
    const auto begin = SteadyClock::now();
    for (std::size_t done = 0; done < bytes.size() && out;) {
        const std::size_t n = std::min(kChunkBytes, bytes.size() - done);
        out.write(bytes.data() + done, static_cast<std::streamsize>(n)).flush();
        done += n;
        Pace(begin, done);
    }
}

// A previewing camera and a client thread noting when each frame message came.
class FrameWatch {
public:
    FrameWatch() : session_(0) {
        if (session_.Ok()) reader_ = std::thread([this] { Watch(); });
    }
    ~FrameWatch() {
        stop_.store(true);
        if (reader_.joinable()) reader_.join();
    }
    bool Ok() const { return session_.Ok(); }
    unsigned long Handle() const { return session_.Handle(); }
    std::vector<SteadyClock::time_point> Arrivals() {
        std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_;
    }

private:
    void Watch() {
        CALIDRA_MSG message{};
        while (!stop_.load()) {
            if (CalidraWindow_WaitMessage(session_.Window(), &message, 50) == 1 && message.message == kFrameMessage) {
                std::lock_guard<std::mutex> lock(mutex_);
                arrivals_.push_back(SteadyClock::now());
            }
        }
    }

    PreviewSession session_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SteadyClock::time_point> arrivals_;
    std::thread reader_;
};

// Counters: file_ms (the whole save or load, set by the pipe's pace), fps (frame
// messages each second meanwhile) and longest_gap_ms (the longest wait for the
// next frame message meanwhile; one frame period when nothing holds frames up).
void BM_CorrectionFileOnSlowDisk(benchmark::State& state) {
    const bool load = state.range(0) == 1;
    const std::string dir = (std::filesystem::temp_directory_path() / "calidra-bench-nuc").string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string fifo = dir + "/planes.cor", plain = dir + "/plain.cor";
    CalidraSim_Reset();
    CalidraSim_SetFrameRate(0, 30);
    for (auto _ : state) {
        FrameWatch watch;
        if (!watch.Ok() || Calidra_SaveNucDataA(watch.Handle(), plain.c_str(), FILESAVETYPE_CORSET) != 1 ||
            mkfifo(fifo.c_str(), 0600) != 0)
            return state.SkipWithError("set-up failed");
        std::ifstream plainFile(plain, std::ios::binary);
        const std::vector<char> image{std::istreambuf_iterator<char>(plainFile), std::istreambuf_iterator<char>()};
        std::this_thread::sleep_for(std::chrono::milliseconds(500));

        const auto begin = SteadyClock::now();
        auto call = std::async(std::launch::async, [&] {
            return load ? Calidra_LoadNucDataA(watch.Handle(), fifo.c_str(), FILESAVETYPE_CORSET)
                        : Calidra_SaveNucDataA(watch.Handle(), fifo.c_str(), FILESAVETYPE_CORSET);
        });
        if (load)
            FillSlowly(fifo, image);
        else
            DrainSlowly(fifo);
        const int result = call.get();
        const auto end = SteadyClock::now();
        std::filesystem::remove(fifo);
        if (result != 1) return state.SkipWithError("the save or load failed");

        const std::vector<SteadyClock::time_point> arrivals = watch.Arrivals();
        auto last = begin;
        double longest = 0, frames = 0;
        for (const auto& arrival : arrivals) {
            if (arrival <= begin) continue;
            const auto at = std::min(arrival, end);
            longest = std::max(longest, std::chrono::duration<double, std::milli>(at - last).count());
            last = at;
            frames += arrival <= end;
        }
        longest = std::max(longest, std::chrono::duration<double, std::milli>(end - last).count());
        const double seconds = std::chrono::duration<double>(end - begin).count();
        state.SetIterationTime(seconds);
        state.counters["file_ms"] = seconds * 1000;
        state.counters["fps"] = frames / seconds;
        state.counters["longest_gap_ms"] = longest;
    }
    CalidraSim_Reset();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CorrectionFileOnSlowDisk)
    ->ArgName("load")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace calidra
