// Load and soak through the public API: many instances at once on four virtual
// cameras, a thousand Initialize/Preview/Release cycles, and meanwhile clients
// that read every frame id, save stills, change parameters and record. Memory
// must stay flat from a checkpoint after warm-up to the end, every recording
// file must be whole, and no thread may be left behind.
//
// A sanitizer build runs fewer cycles (the leak checker looks at the end);
// CALIDRA_SOAK_CYCLES sets the number for a longer or shorter run.
#include <malloc.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ReliabilityTestSupport.h"

namespace calidra {
namespace {

using reliability::Client;

constexpr int kCameras = 4;
// Paced, not as fast as the simulation can render: a camera at full speed
// renders frames nobody takes, and on two cores that starves the cycles. A
// cycle still waits at most one frame period for its first frame. Under a
// sanitizer every frame costs many times more, and sixteen cameras at 100
// frames a second would starve streams past their 6000 ms timeout.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr double kFramesPerSecond = 20.0;
#else
constexpr double kFramesPerSecond = 100.0;
#endif
// Set-up sleeps while the camera settles, so a cycle is mostly waiting: many
// run at once.
constexpr int kCyclingThreads = 12;
constexpr int kWarmUpPercent = 15;
// Resident memory wanders by up to a hundred MiB with how the allocator's
// per-thread heaps happen to be cut up, so its bound is generous: a leak of one
// frame ring (46 MB) per hundred cycles breaks it. The bytes the allocator has
// handed out and not yet got back do not wander: a leak of 20 KB per cycle
// breaks their bound.
constexpr std::int64_t kRssBoundKiB = 256 * 1024;
constexpr std::int64_t kHeapBoundKiB = 16 * 1024;

// A sanitizer's allocator keeps freed blocks in quarantine, so resident size
// says little there: the leak checker judges the memory instead. Such builds
// run a tenth of the cycles, the thread checker (slower still) a twentieth.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderSanitizer = true;
constexpr int kDefaultCycles = 100;
#elif defined(__SANITIZE_THREAD__)
constexpr bool kUnderSanitizer = true;
constexpr int kDefaultCycles = 50;
#else
constexpr bool kUnderSanitizer = false;
constexpr int kDefaultCycles = 1000;
#endif

int CyclesToRun() {
    const char* text = std::getenv("CALIDRA_SOAK_CYCLES");
    if (text == nullptr) return kDefaultCycles;
    const int cycles = std::atoi(text);
    return cycles > 0 ? cycles : kDefaultCycles;
}

struct MemoryUse {
    std::int64_t residentKiB = 0;
    std::int64_t heapKiB = 0;  // handed out by the allocator and not given back
};

// Resident memory once the allocator has returned its free pages, so that what
// it keeps cached for reuse does not look like growth; and the heap in use.
// The virtual cameras' command logs, which keep up to 4 MiB each for the
// tests that read them, are emptied first: they are not the library's. The
// clients keep reading, saving and recording meanwhile, so a single look can
// land on a moment when they hold tens of MiB of buffers: the least of a few
// looks is what stays.
MemoryUse MemoryNow() {
    constexpr int kLooks = 8;
    MemoryUse least{INT64_MAX, INT64_MAX};
    for (int look = 0; look < kLooks; ++look) {
        if (look > 0) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        for (int camera = 0; camera < kCameras; ++camera) CalidraSim_ClearCommandLog(camera);
#if defined(_WIN32)
        _heapmin();
        // The heap keeps freed blocks committed for its next allocations, cut up
        // as the threads happened to free them: what the process holds is its
        // committed private memory less the heap's free blocks.
        std::int64_t committed = 0;
        MEMORY_BASIC_INFORMATION region{};
        for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
             at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
            if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
                committed += static_cast<std::int64_t>(region.RegionSize);
        }
        std::int64_t used = 0, spare = 0;
        _HEAPINFO entry{};
        while (_heapwalk(&entry) == _HEAPOK)
            (entry._useflag == _USEDENTRY ? used : spare) += static_cast<std::int64_t>(entry._size);
        least.residentKiB = std::min(least.residentKiB, (committed - spare) / 1024);
        least.heapKiB = std::min(least.heapKiB, used / 1024);
#else
        malloc_trim(0);
        std::ifstream statm("/proc/self/statm");
        std::int64_t pages = 0, resident = 0;
        statm >> pages >> resident;
        least.residentKiB = std::min(least.residentKiB, resident * 4);  // 4 KiB pages here
        const struct mallinfo2 info = mallinfo2();
        least.heapKiB = std::min(least.heapKiB, static_cast<std::int64_t>((info.uordblks + info.hblkhd) / 1024));
#endif
    }
    return least;
}

// What the clients counted, summed over all of them.
struct Tally {
    std::atomic<std::uint64_t> frames{0};
    std::atomic<std::uint64_t> reads{0};
    std::atomic<std::uint64_t> readsTooLate{0};
    std::atomic<std::uint64_t> stills{0};
    std::atomic<std::uint64_t> filesVerified{0};
    std::atomic<std::uint64_t> cycles{0};
    std::mutex problemsLock;
    std::vector<std::string> problems;

    void Problem(std::string what) {
        std::lock_guard<std::mutex> guard(problemsLock);
        if (problems.size() < 20) problems.push_back(std::move(what));
    }
};

// A long-lived instance with one client thread of its own (the API asks for
// one calling thread per instance) that works until told to stop.
class LongLivedClient {
public:
    enum class Role { kReader, kRecorder, kTuner, kStillSaver };

    LongLivedClient(Role role, int camera, const std::filesystem::path& dir, Tally& tally)
        : role_(role), camera_(camera), dir_(dir), tally_(tally) {}
    ~LongLivedClient() { Stop(); }
    LongLivedClient(const LongLivedClient&) = delete;
    LongLivedClient& operator=(const LongLivedClient&) = delete;

    void Start() {
        thread_ = std::thread([this] { Run(); });
    }
    void Stop() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    // Memory is measured while every client rests between two operations: a
    // still being encoded or a recording being checked at that moment would
    // look like growth. Waits (with a hang guard) until the client rests.
    void Hold() {
        hold_.store(true);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!held_.load() && !stop_.load() && thread_.joinable() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    void Resume() { hold_.store(false); }

private:
    struct Recording {
        std::filesystem::path path;
        int kind = 0;
    };

    void Run() {
        Client client;
        if (!client.Initialize() || Calidra_SetCameraNumber(client.Handle(), camera_) != 1) {
            tally_.Problem("a long-lived client could not start");
            held_.store(true);
            return;
        }
        const unsigned long h = client.Handle();
        if (role_ == Role::kRecorder) OpenNextRecording(h);
        if (Calidra_Preview(h) != 1) tally_.Problem("a long-lived preview failed");
        std::vector<unsigned short> raw(640 * 480);
        std::vector<float> degrees(640 * 480);
        std::vector<unsigned char> colour(640 * 480 * 3);
        std::uint64_t seen = 0;
        std::size_t done = 0;
        while (!stop_.load()) {
            if (hold_.load()) {
                held_.store(true);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            held_.store(false);
            if (done == client.Frames().size()) {
                client.ForgetFrames();
                done = 0;
                if (!client.Pump(200)) continue;
            }
            for (; done < client.Frames().size(); ++done) {
                const std::uint32_t id = client.Frames()[done];
                ++seen;
                tally_.frames.fetch_add(1);
                if (role_ == Role::kReader) Read(h, id, seen, raw, degrees, colour);
                if (role_ == Role::kRecorder && ++sinceSwitch_ >= 40 && Opened(current_)) OpenNextRecording(h);
                if (role_ == Role::kTuner) Tune(h, seen);
                if (role_ == Role::kStillSaver && seen % 10 == 0) SaveStill(h, seen);
                if (seen % 50 == 0) CheckCodes(client);
            }
        }
        Calidra_RecA(h, nullptr, 0);
        if (client.Close() != 1) tally_.Problem("Close failed");
        CheckCodes(client);
        // Both files are closed now; the newest was never opened when the loop
        // stopped before it acted on the switch.
        Verify(closing_);
        if (Opened(current_)) Verify(current_);
        if (client.Release() != 1) tally_.Problem("Release failed");
    }

    // Codes are expected here (ERR_UNSUPPORTED at each start, ERR_ARGUMENT for
    // a frame that aged out before it was read); any other is a fault.
    void CheckCodes(Client& client) {
        for (int code : client.TakeCodes())
            if (code != ERR_UNSUPPORTED && code != ERR_ARGUMENT) tally_.Problem("code " + std::to_string(code));
    }

    void Read(unsigned long h, std::uint32_t id, std::uint64_t seen, std::vector<unsigned short>& raw,
              std::vector<float>& degrees, std::vector<unsigned char>& colour) {
        int ok = 0;
        switch (seen % 3) {
            case 0:
                ok = Calidra_GetRaw(h, id, raw.data(), raw.size() * 2);
                if (ok == 1 && (raw[0] > 16383 || raw[raw.size() - 1] > 16383)) tally_.Problem("level beyond 14 bits");
                break;
            case 1:
                ok = Calidra_GetTemperature(h, id, degrees.data(), degrees.size() * 4);
                break;
            default:
                ok = Calidra_GetColor(h, id, colour.data(), colour.size());
                break;
        }
        // A reader that falls thirty frames behind finds its frame gone: that
        // is the ring's documented limit, not a fault.
        if (ok == 1)
            tally_.reads.fetch_add(1);
        else
            tally_.readsTooLate.fetch_add(1);
    }

    void Tune(unsigned long h, std::uint64_t seen) {
        switch (seen % 8) {
            case 0:
                Calidra_SetParam(h, 12, static_cast<int>(seen / 8 % 2));
                break;
            case 1:
                Calidra_SetParam(h, 13, 2000 + static_cast<int>(seen % 1000));
                break;
            case 2:
                Calidra_SetParam(h, 14, 9000 + static_cast<int>(seen % 1000));
                break;
            case 3:
                Calidra_SetParam(h, 17, static_cast<int>(seen / 8 % 2));
                break;
            case 4:
                Calidra_SetParam(h, 9, static_cast<int>(seen % 3) * 5);
                break;
            case 5: {
                int ok = 0;
                Calidra_GetInternalTemperature(h, &ok);
                break;
            }
            case 6:
                if (seen % 200 == 6) Calidra_Nuc(h);
                break;
            default:
                Calidra_Pause(h);
                Calidra_Start(h);
                break;
        }
    }

    void SaveStill(unsigned long h, std::uint64_t seen) {
        const int type = static_cast<int>(seen / 10 % 14);
        const std::filesystem::path path = dir_ / ("still-" + std::to_string(camera_) + "." + std::to_string(type));
        if (Calidra_SaveA(h, path.string().c_str(), type) == 1)
            tally_.stills.fetch_add(1);
        else
            tally_.Problem("still type " + std::to_string(type) + " not saved");
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }

    // The loop has acted on the switch to this file: it exists. Messages may
    // be read long after they were posted, so the count of frames read says
    // nothing of how far the loop has got.
    static bool Opened(const Recording& recording) {
        std::error_code ignored;
        return recording.path.empty() || std::filesystem::exists(recording.path, ignored);
    }

    // Switches the recording to a new file of the next kind. The loop closes
    // the file before in the same step in which it opens the new one, so once
    // the new one exists the one before is finished and can be checked.
    void OpenNextRecording(unsigned long h) {
        sinceSwitch_ = 0;
        Verify(closing_);
        closing_ = current_;
        current_.kind = 1 + static_cast<int>(recordings_ % 3);
        current_.path = dir_ / ("soak-" + std::to_string(recordings_) + ".rec");
        ++recordings_;
        Calidra_RecA(h, current_.path.string().c_str(), current_.kind);
    }

    void Verify(Recording& recording) {
        if (recording.path.empty()) return;
        const reliability::FileCheck check = reliability::CheckRecording(recording.path, recording.kind);
        if (check.valid)
            tally_.filesVerified.fetch_add(1);
        else
            tally_.Problem(recording.path.filename().string() + ": " + check.problem);
        std::error_code ignored;
        std::filesystem::remove(recording.path, ignored);
        recording = Recording{};
    }

    Role role_;
    int camera_;
    std::filesystem::path dir_;
    Tally& tally_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> hold_{false};
    std::atomic<bool> held_{false};
    std::thread thread_;
    std::uint64_t recordings_ = 0;
    std::uint64_t sinceSwitch_ = 0;
    Recording current_;
    Recording closing_;
};

// Runs `cycles` Initialize/Preview/first frame/Release cycles spread over
// kCyclingThreads threads and cameras.
void RunCycles(int cycles, Tally& tally) {
    std::atomic<int> next{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kCyclingThreads; ++w) {
        workers.emplace_back([&tally, &next, cycles] {
            for (int cycle = next.fetch_add(1); cycle < cycles; cycle = next.fetch_add(1)) {
                Client client;
                if (!client.Initialize()) {
                    tally.Problem("Calidra_Initialize gave no handle");
                    continue;
                }
                const unsigned long h = client.Handle();
                if (Calidra_SetCameraNumber(h, cycle % kCameras) != 1 || Calidra_Preview(h) != 1) {
                    tally.Problem("cycle " + std::to_string(cycle) + " did not start");
                    continue;
                }
                if (!client.WaitFrames(1)) tally.Problem("cycle " + std::to_string(cycle) + " saw no frame");
                tally.frames.fetch_add(client.Frames().size());
                if (client.Release() != 1) tally.Problem("Release failed");
                tally.cycles.fetch_add(1);
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
}

TEST(Soak, ManyInstancesCycleWhileClientsReadSaveTuneAndRecord) {
    // Frame buffers and planes come straight from the system and go back to it,
    // so resident memory follows what is in use rather than how the threads'
    // heaps happen to be cut up (which wanders with the machine's load).
#if !defined(_WIN32)
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    reliability::Figures figures;
    figures.Begin("soak");
    CalidraSim_Reset();
    for (int camera = 0; camera < kCameras; ++camera) {
        CalidraSim_SetPresent(camera, 1);
        CalidraSim_SetFrameRate(camera, kFramesPerSecond);
    }
    const int threadsBefore = reliability::ThreadBaseline();
    const std::filesystem::path dir = reliability::ScratchDirectory("reliability-soak");
    const int cycles = CyclesToRun();
    const int warmUp = std::max(1, cycles * kWarmUpPercent / 100);

    Tally tally;
    std::vector<std::unique_ptr<LongLivedClient>> clients;
    clients.push_back(std::make_unique<LongLivedClient>(LongLivedClient::Role::kReader, 0, dir, tally));
    clients.push_back(std::make_unique<LongLivedClient>(LongLivedClient::Role::kRecorder, 1, dir, tally));
    clients.push_back(std::make_unique<LongLivedClient>(LongLivedClient::Role::kTuner, 2, dir, tally));
    clients.push_back(std::make_unique<LongLivedClient>(LongLivedClient::Role::kStillSaver, 3, dir, tally));
    for (auto& client : clients) client->Start();

    // Checkpoints while no cycling instance exists, so both see the same set
    // of live instances.
    auto measure = [&clients] {
        for (auto& client : clients) client->Hold();
        const MemoryUse now = MemoryNow();
        for (auto& client : clients) client->Resume();
        return now;
    };
    RunCycles(warmUp, tally);
    const MemoryUse afterWarmUp = measure();
    RunCycles(cycles - warmUp, tally);
    const MemoryUse atEnd = measure();

    // Every long-lived client has done its part at least once (a saver saves
    // every tenth frame), however slowly frames came meanwhile.
    const auto guard = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while ((tally.reads.load() == 0 || tally.stills.load() == 0) && std::chrono::steady_clock::now() < guard) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& client : clients) client->Stop();
    clients.clear();
    CalidraSim_Reset();

    for (const std::string& problem : tally.problems) ADD_FAILURE() << problem;
    EXPECT_EQ(tally.cycles.load(), static_cast<std::uint64_t>(cycles));
    EXPECT_GT(tally.reads.load(), 0u);
    EXPECT_GT(tally.stills.load(), 0u);
    EXPECT_GT(tally.filesVerified.load(), 0u);
    const std::int64_t growth = atEnd.residentKiB - afterWarmUp.residentKiB;
    const std::int64_t heapGrowth = atEnd.heapKiB - afterWarmUp.heapKiB;
    if (!kUnderSanitizer) {
        EXPECT_LT(growth, kRssBoundKiB) << "resident memory grew from " << afterWarmUp.residentKiB << " KiB to "
                                        << atEnd.residentKiB << " KiB";
        EXPECT_LT(heapGrowth, kHeapBoundKiB)
            << "the heap in use grew from " << afterWarmUp.heapKiB << " KiB to " << atEnd.heapKiB << " KiB";
    }
    const int left = reliability::ThreadsSettledTo(threadsBefore);
    EXPECT_EQ(left, threadsBefore) << "threads left behind";

    figures.cycles = tally.cycles.load();
    figures.frames = tally.frames.load();
    figures.frameReads = tally.reads.load();
    figures.stills = tally.stills.load();
    figures.filesVerified = tally.filesVerified.load();
    figures.rssGrowthKiB = growth;
    figures.heapGrowthKiB = heapGrowth;
    figures.threadsLeft = left > threadsBefore ? static_cast<std::uint64_t>(left - threadsBefore) : 0;
    figures.leaks = reliability::LeaksNow();
    EXPECT_NE(figures.leaks, 1) << "memory leaked (see the leak report above)";
    figures.End(!::testing::Test::HasFailure());
    std::printf(
        "soak: %llu cycles, %llu frames, %llu reads (%llu aged out), %llu stills, %llu files, RSS %+lld KiB, "
        "heap %+lld KiB\n",
        static_cast<unsigned long long>(figures.cycles), static_cast<unsigned long long>(figures.frames),
        static_cast<unsigned long long>(figures.frameReads), static_cast<unsigned long long>(tally.readsTooLate.load()),
        static_cast<unsigned long long>(figures.stills), static_cast<unsigned long long>(figures.filesVerified),
        static_cast<long long>(growth), static_cast<long long>(heapGrowth));
}

}  // namespace
}  // namespace calidra
