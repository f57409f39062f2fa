// Shared by the fault, disk and soak tests: a client of the public API with its
// message window, hang guards, thread counts, checks of finished recording
// files, and the figures each test leaves for the reliability report.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "calidra.h"
#include "calidra_sim.h"
#include "platform/LittleEndian.h"
#include "support/BuildPaths.h"
#include "support/ScratchFiles.h"
#include "support/ThreadCount.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace calidra::reliability {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::uint64_t kRawFrameBytes = 640ull * 480 * 2;
constexpr std::uint64_t kTemperatureFrameBytes = 640ull * 480 * 4;
constexpr std::uint32_t kColourFrameBytes = 640u * 480 * 3;
// Waits that only guard against a hang; nothing is asserted about how long a
// call takes. Under a sanitizer on a loaded two-core machine a first frame can
// take well over ten seconds, and a recording that fills a disk a minute.
constexpr auto kHangGuard = std::chrono::seconds(120);
constexpr std::uint32_t kMessageGuardMs = 120000;
// A fault count that outlasts any test.
constexpr int kAlways = 1 << 30;

using test::ThreadsOfThisProcess;
using test::ThreadsSettledTo;

// The count before a test starts; the sanitizer's helper thread, if any, is
// already running by then.
inline int ThreadBaseline() { return ThreadsOfThisProcess(); }

// Runs the leak checker now, in an AddressSanitizer build: 1 when it found
// memory that nothing points to any more, 0 when none, -1 in other builds.
inline int LeaksNow() {
#if defined(__SANITIZE_ADDRESS__)
    return __lsan_do_recoverable_leak_check() != 0 ? 1 : 0;
#else
    return -1;
#endif
}

// Runs call in a thread of its own and gives its result. A call that has not
// returned after the hang guard ends the test program: a hung call cannot be
// taken back, and waiting for it would hang the test instead of failing it.
template <typename Call>
auto Within(const char* what, Call&& call) {
    auto future = std::async(std::launch::async, std::forward<Call>(call));
    if (future.wait_for(kHangGuard) != std::future_status::ready) {
        std::fprintf(stderr, "HANG: %s did not return within 120 s\n", what);
        std::fflush(stderr);
        std::_Exit(70);
    }
    return future.get();
}

// One instance of the public API and the messages of its window, in the order
// they were posted.
class Client {
public:
    Client() : window_(CalidraWindow_Create()) {}
    ~Client() {
        Release();
        CalidraWindow_Destroy(window_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // A new instance; automatic calibration off, so no hold-off delays the first frames.
    bool Initialize() {
        handle_ = Within("Calidra_Initialize", [this] { return Calidra_Initialize(window_); });
        if (handle_ != 0) Calidra_SetParam(handle_, 15, 0);
        return handle_ != 0;
    }
    int Close() {
        return Within("Calidra_Close", [h = handle_] { return Calidra_Close(h); });
    }
    int Release() {
        if (handle_ == 0) return 0;
        const int result = Within("Calidra_Release", [h = handle_] { return Calidra_Release(h); });
        handle_ = 0;
        return result;
    }

    unsigned long Handle() const { return handle_; }
    HWND Window() const { return window_; }

    // Takes one message, waiting up to timeoutMs; false when none came.
    bool Pump(std::uint32_t timeoutMs) {
        CALIDRA_MSG msg{};
        if (CalidraWindow_WaitMessage(window_, &msg, timeoutMs) != 1) return false;
        if (msg.message == WM_CAMERA_FRAME) frames_.push_back(static_cast<std::uint32_t>(msg.lParam));
        if (msg.message == WM_CAMERA_ERROR) codes_.push_back(static_cast<int>(msg.lParam));
        return true;
    }
    // Everything queued now.
    void Drain() {
        while (Pump(0)) {
        }
    }
    // Takes the messages that come within ms milliseconds.
    void PumpFor(std::uint32_t ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) Pump(20);
    }
    // Waits until n more frames than now have been posted.
    bool WaitFrames(std::size_t n) {
        const std::size_t target = frames_.size() + n;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMessageGuardMs);
        while (frames_.size() < target && std::chrono::steady_clock::now() < until) Pump(100);
        return frames_.size() >= target;
    }
    // Waits until code has been posted (also when it already was).
    bool WaitCode(int code) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMessageGuardMs);
        for (;;) {
            for (int seen : codes_)
                if (seen == code) return true;
            if (std::chrono::steady_clock::now() >= until) return false;
            Pump(100);
        }
    }

    // The codes posted since the last call, oldest first. The error stack must
    // hold the same codes, newest on top; it is emptied too.
    std::vector<int> TakeCodes() {
        Drain();
        std::vector<int> stacked;
        for (int code = Calidra_GetLastError(handle_); code != 0; code = Calidra_GetLastError(handle_))
            stacked.insert(stacked.begin(), code);
        std::vector<int> posted;
        posted.swap(codes_);
        EXPECT_EQ(stacked, posted) << "the error stack and the posted codes differ";
        return posted;
    }

    const std::vector<std::uint32_t>& Frames() const { return frames_; }
    void ForgetFrames() { frames_.clear(); }

private:
    HWND window_ = nullptr;
    unsigned long handle_ = 0;
    std::vector<std::uint32_t> frames_;
    std::vector<int> codes_;
};

// What a check of a finished recording found.
struct FileCheck {
    bool valid = false;
    std::string problem;
    std::uint64_t frames = 0;
};

// A finished AVI of 640 x 480 24-bit frames: every size field agrees with the
// bytes really there, the chunks follow one another, and the index has one
// entry per chunk pointing at it; the file ends with the index.
inline FileCheck CheckAvi(const std::filesystem::path& path) {
    FileCheck check;
    const std::vector<std::uint8_t> f = test::ReadAll(path);
    auto fail = [&check](std::string why) {
        check.problem = std::move(why);
        return check;
    };
    auto text = [&f](std::size_t at, const char* code) {
        return at + 4 <= f.size() && std::string(f.begin() + static_cast<std::ptrdiff_t>(at),
                                                 f.begin() + static_cast<std::ptrdiff_t>(at + 4)) == code;
    };
    auto le32 = [&f](std::size_t at) { return at + 4 <= f.size() ? GetLE32(f.data() + at) : 0xFFFFFFFFu; };
    if (f.size() < 232 + 8) return fail("shorter than the headers and an index");
    if (!text(0, "RIFF") || !text(8, "AVI ")) return fail("no RIFF AVI header");
    if (le32(4) != f.size() - 8)
        return fail("RIFF size " + std::to_string(le32(4)) + " for a file of " + std::to_string(f.size()) + " bytes");
    if (!text(12, "LIST") || le32(16) != 200 || !text(20, "hdrl") || !text(24, "avih") || le32(28) != 56)
        return fail("bad header list");
    if (!text(88, "LIST") || le32(92) != 124 || !text(96, "strl") || !text(100, "strh") || !text(108, "vids"))
        return fail("bad stream list");
    if (!text(172, "strf") || le32(184) != static_cast<std::uint32_t>(kWidth) ||
        le32(188) != static_cast<std::uint32_t>(kHeight) || GetLE16(f.data() + 194) != 24)
        return fail("bad stream format");
    if (le32(32) == 0 || le32(128) == 0) return fail("no frame rate");
    if (!text(220, "LIST") || !text(228, "movi")) return fail("no movi list");
    const std::uint32_t frames = le32(48);
    if (le32(140) != frames) return fail("stream length differs from the frame count");
    const std::uint64_t chunk = 8ull + kColourFrameBytes;
    if (le32(224) != 4 + frames * chunk) return fail("movi size does not match the frame count");
    std::size_t at = 232;
    for (std::uint32_t i = 0; i < frames; ++i, at += chunk) {
        if (!text(at, "00db") || le32(at + 4) != kColourFrameBytes || at + chunk > f.size())
            return fail("frame chunk " + std::to_string(i) + " missing");
    }
    if (!text(at, "idx1") || le32(at + 4) != frames * 16ull) return fail("no index after the last chunk");
    if (at + 8 + frames * 16ull != f.size()) return fail("bytes after the index");
    for (std::uint32_t i = 0; i < frames; ++i) {
        const std::size_t entry = at + 8 + 16ull * i;
        if (!text(entry, "00db") || le32(entry + 4) != 0x10 || le32(entry + 8) != 4 + i * chunk ||
            le32(entry + 12) != kColourFrameBytes)
            return fail("index entry " + std::to_string(i) + " wrong");
    }
    check.valid = true;
    check.frames = frames;
    return check;
}

// A headerless stream of whole frames of frameBytes each.
inline FileCheck CheckStream(const std::filesystem::path& path, std::uint64_t frameBytes) {
    FileCheck check;
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(path, error);
    if (error) {
        check.problem = "missing";
        return check;
    }
    if (size % frameBytes != 0) {
        check.problem = std::to_string(size) + " bytes is not a whole number of frames";
        return check;
    }
    check.valid = true;
    check.frames = size / frameBytes;
    return check;
}

// The check that suits a recording kind (1 raw, 2 AVI, 3 temperatures).
inline FileCheck CheckRecording(const std::filesystem::path& path, int kind) {
    if (kind == 2) return CheckAvi(path);
    return CheckStream(path, kind == 1 ? kRawFrameBytes : kTemperatureFrameBytes);
}

// A directory of its own under the build's scratch directory for each test.
inline std::filesystem::path ScratchDirectory(const std::string& area) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : area;
    for (char& c : name)
        if (c == '/') c = '_';
    const std::filesystem::path dir = std::filesystem::path(calidra::test::TempRoot()) / area / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// What one test did, for the reliability report: one line per test in
// test-tmp/reliability/, written "not survived" when the test starts and
// rewritten when it ends, so that a test that crashed still counts as tried.
struct Figures {
    std::string kind;  // "fault", "disk" or "soak"
    std::uint64_t filesVerified = 0;
    std::uint64_t cycles = 0;
    std::uint64_t frames = 0;
    std::uint64_t frameReads = 0;
    std::uint64_t stills = 0;
    std::int64_t rssGrowthKiB = 0;
    std::int64_t heapGrowthKiB = 0;
    std::uint64_t threadsLeft = 0;
    int leaks = -1;  // LeaksNow() at the end of the test

    void Begin(std::string what) {
        kind = std::move(what);
        Write(false, false);
    }
    void End(bool survived, bool skipped = false) { Write(survived, skipped); }

private:
    void Write(bool survived, bool skipped) const {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        if (info == nullptr) return;
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        std::string file = name;
        for (char& c : file)
            if (c == '/') c = '_';
        const std::filesystem::path dir = std::filesystem::path(calidra::test::TempRoot()) / "reliability";
        std::error_code error;
        std::filesystem::create_directories(dir, error);
        std::ofstream out(dir / (file + ".txt"), std::ios::trunc);
        out << "test=" << name << " kind=" << kind << " survived=" << (survived ? 1 : 0)
            << " skipped=" << (skipped ? 1 : 0) << " files_verified=" << filesVerified << " cycles=" << cycles
            << " frames=" << frames << " frame_reads=" << frameReads << " stills=" << stills
            << " rss_growth_kib=" << rssGrowthKiB << " heap_growth_kib=" << heapGrowthKiB
            << " threads_left=" << threadsLeft << " leaks=" << leaks << "\n";
    }
};

}  // namespace calidra::reliability
