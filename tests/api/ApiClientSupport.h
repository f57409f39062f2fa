// A client of the public API on the virtual camera: one instance with a message
// window of its own, the messages it receives, frames shaped by the test, and
// waits whose limits only guard against a hang.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "calidra.h"
#include "calidra_sim.h"
#include "calidra_window.h"
#include "support/BuildPaths.h"
#include "support/ThreadCount.h"

namespace calidra::apitest {

// Waits only guard against a hang: under ThreadSanitizer on a loaded two-core
// machine one frame can take seconds.
constexpr unsigned long kGuardMs = 60000;
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;
constexpr unsigned long kRawBytes = kPixels * 2;
constexpr unsigned long kColourBytes = kPixels * 3;
constexpr unsigned long kTemperatureBytes = kPixels * 4;
constexpr std::uint8_t kStartFramePacket = 0x02;
constexpr std::uint8_t kRegisterReadPacket = 0x26;

// A frame as the sensor delivers it: line 0 first.
class SensorFrame {
public:
    explicit SensorFrame(std::uint16_t level) : levels_(kPixels, level) {}
    void Set(int line, int column, std::uint16_t level) { levels_[Index(line, column)] = level; }
    // Every line y holds base + y.
    static SensorFrame Ramp(std::uint16_t base) {
        SensorFrame frame(0);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) frame.Set(y, x, static_cast<std::uint16_t>(base + y));
        return frame;
    }
    const unsigned short* Data() const { return levels_.data(); }

    // Where sensor line y, column x lands in a readout without flipDisplay:
    // frames leave the camera bottom row first, so line 0 is the last row.
    static std::size_t Index(int line, int column) {
        return static_cast<std::size_t>(line) * kWidth + static_cast<std::size_t>(column);
    }
    static std::size_t ReadoutIndex(int line, int column) { return Index(kHeight - 1 - line, column); }

private:
    std::vector<unsigned short> levels_;
};

// Packets received by camera 0 since the last reset or clear that begin with
// code (and, when reg >= 0, name that register). The log keeps only the newest
// 65,536 packets; those it dropped count too, so the number never stalls while
// a trigger capture floods the camera with register reads.
inline int PacketsReceived(std::uint8_t code, int reg = -1) {
    constexpr int kKeptAtMost = 65536;
    const int total = CalidraSim_GetCommandLog(0, nullptr, 0);
    if (total <= 0) return 0;
    std::vector<std::array<unsigned char, 64>> log(static_cast<std::size_t>(std::min(total + 256, kKeptAtMost)));
    const int got =
        CalidraSim_GetCommandLog(0, reinterpret_cast<unsigned char(*)[64]>(log.data()), static_cast<int>(log.size()));
    const int kept = std::min(got, static_cast<int>(log.size()));
    int count = got > kKeptAtMost ? got - kKeptAtMost : 0;
    for (int i = 0; i < kept; ++i) {
        const auto& packet = log[static_cast<std::size_t>(i)];
        count += packet[0] == code && (reg < 0 || packet[1] == reg);
    }
    return count;
}

// Waits until camera 0 has received n more packets of that kind.
inline bool WaitForPackets(std::uint8_t code, int reg, int n) {
    const int start = PacketsReceived(code, reg);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuardMs);
    while (std::chrono::steady_clock::now() < until) {
        if (PacketsReceived(code, reg) >= start + n) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// The camera has been asked for n more frames.
inline bool WaitForTransfers(int n) { return WaitForPackets(kStartFramePacket, -1, n); }

using test::ThreadsOfThisProcess;
using test::ThreadsSettledTo;

inline std::uint32_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

class ApiClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        window = CalidraWindow_Create();
        ASSERT_NE(window, nullptr);
        handle = Calidra_Initialize(window);
        ASSERT_NE(handle, 0ul);
        // No automatic calibration (and its hold-off) unless a test asks for it.
        ASSERT_EQ(Calidra_SetParam(handle, 15, 0), 1);
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("api-") + test->test_suite_name() + "-" + test->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = std::filesystem::path(calidra::test::TempRoot()) / name;
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }

    void TearDown() override {
        if (handle != 0) {
            EXPECT_EQ(Calidra_Release(handle), 1);
        }
        CalidraWindow_Destroy(window);
        CalidraSim_Reset();
    }

    // The next WM_CAMERA_FRAME's id; codes posted on the way are kept in posted.
    bool NextFrame(unsigned long& id, unsigned long timeoutMs = kGuardMs) {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            const std::uint32_t spent = MillisecondsSince(start);
            if (spent > timeoutMs) return false;
            CALIDRA_MSG msg{};
            if (CalidraWindow_WaitMessage(window, &msg, timeoutMs - spent) != 1) return false;
            if (Keep(msg)) {
                id = static_cast<unsigned long>(msg.lParam);
                return true;
            }
        }
    }

    // The first frame stored after this call. A frame stored before it may
    // still be on its way; the ring position is read after any store in
    // progress has finished.
    bool NextNewFrame(unsigned long& id) {
        std::set<unsigned long> before;
        for (unsigned long drained : DrainFrames()) before.insert(drained);
        before.insert(Calidra_GetNewID(handle));
        do {
            if (!NextFrame(id)) return false;
        } while (before.count(id) != 0);
        return true;
    }

    // Waits until code has been posted (also when it already was).
    bool WaitPosted(int code, unsigned long timeoutMs = kGuardMs) {
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            if (std::find(posted.begin(), posted.end(), code) != posted.end()) return true;
            const std::uint32_t spent = MillisecondsSince(start);
            if (spent > timeoutMs) return false;
            CALIDRA_MSG msg{};
            if (CalidraWindow_WaitMessage(window, &msg, timeoutMs - spent) != 1) return false;
            Keep(msg);
        }
    }

    // Takes every message queued now; the ids of the frame messages among them.
    std::vector<unsigned long> DrainFrames() {
        std::vector<unsigned long> ids;
        CALIDRA_MSG msg{};
        while (CalidraWindow_WaitMessage(window, &msg, 0) == 1) {
            if (Keep(msg)) ids.push_back(static_cast<unsigned long>(msg.lParam));
        }
        return ids;
    }

    // The codes posted so far, oldest first, and forgets them.
    std::vector<int> TakePosted() {
        DrainFrames();
        std::vector<int> codes;
        codes.swap(posted);
        return codes;
    }

    // Empties the instance's error stack; the codes in the order recorded. They
    // are also kept in recorded, to compare with the codes posted.
    std::vector<int> Stacked() {
        std::vector<int> codes = Stacked(handle);
        recorded.insert(recorded.end(), codes.begin(), codes.end());
        return codes;
    }
    static std::vector<int> Stacked(unsigned long h) {
        std::vector<int> codes;
        for (int code = Calidra_GetLastError(h); code != 0; code = Calidra_GetLastError(h)) codes.push_back(code);
        std::reverse(codes.begin(), codes.end());
        return codes;
    }

    // One frame captured while idle; its id.
    unsigned long Capture(const SensorFrame& frame) {
        CalidraSim_SetFrame(0, frame.Data());
        const unsigned long id = Calidra_OneShot(handle);
        EXPECT_NE(id, 0ul);
        return id;
    }

    std::vector<unsigned short> Raw(unsigned long id) {
        std::vector<unsigned short> raw(kPixels);
        EXPECT_EQ(Calidra_GetRaw(handle, id, raw.data(), kRawBytes), 1);
        return raw;
    }
    std::vector<unsigned char> Colour(unsigned long id) {
        std::vector<unsigned char> colour(kColourBytes);
        EXPECT_EQ(Calidra_GetColor(handle, id, colour.data(), kColourBytes), 1);
        return colour;
    }
    std::vector<float> Temperatures(unsigned long id) {
        std::vector<float> degrees(kPixels);
        EXPECT_EQ(Calidra_GetTemperature(handle, id, degrees.data(), kTemperatureBytes), 1);
        return degrees;
    }

    std::string PathOf(const char* name) const { return (dir / name).string(); }

    HWND window = nullptr;
    unsigned long handle = 0;
    std::vector<int> posted;
    // Every frame id posted and taken so far, oldest first.
    std::vector<unsigned long> framesSeen;
    std::vector<int> recorded;
    std::filesystem::path dir;

private:
    // True for a frame message; error codes go to posted.
    bool Keep(const CALIDRA_MSG& msg) {
        EXPECT_EQ(msg.window, window);
        EXPECT_EQ(msg.wParam, 0u);
        if (msg.message == WM_CAMERA_ERROR) {
            posted.push_back(static_cast<int>(msg.lParam));
            return false;
        }
        EXPECT_EQ(msg.message, static_cast<unsigned>(WM_CAMERA_FRAME));
        // Frame ids travel as their 32-bit values, not sign-extended where
        // lParam is wider (on 32-bit Windows it holds just those bits).
        if constexpr (sizeof msg.lParam > 4) {
            EXPECT_GE(msg.lParam, 0);
            EXPECT_LE(msg.lParam, static_cast<std::intptr_t>(0xFFFFFFFFll));
        }
        if (msg.message != WM_CAMERA_FRAME) return false;
        framesSeen.push_back(static_cast<unsigned long>(msg.lParam));
        return true;
    }
};

}  // namespace calidra::apitest
