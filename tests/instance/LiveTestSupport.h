// An instance on the virtual camera with a message window of its own, and the
// waits the acquisition tests need. Every wait has a generous limit that only
// guards against a hang.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "calidra.h"
#include "calidra_sim.h"
#include "instance/CCalidra.h"
#include "platform/Clock.h"
#include "platform/MessageWindowTable.h"

namespace calidra::livetest {

// Waits only guard against a hang: under ThreadSanitizer on a loaded two-core
// machine one frame can take seconds.
constexpr std::uint32_t kHangGuardMs = 60000;
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;
constexpr std::uint32_t kRawBytes = kPixels * 2;
constexpr std::uint32_t kColourBytes = kPixels * 3;
constexpr std::uint32_t kTemperatureBytes = kPixels * 4;

// Sensor line y (line 0 first) holds level base + y everywhere.
inline std::vector<std::uint16_t> RampFrame(std::uint16_t base) {
    std::vector<std::uint16_t> frame(kPixels);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            frame[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint16_t>(base + y);
    return frame;
}

inline std::vector<std::uint16_t> FlatFrame(std::uint16_t level) { return std::vector<std::uint16_t>(kPixels, level); }

// Packets received so far that begin with code (and, when reg >= 0, name reg).
inline int PacketsReceived(unsigned char code, int reg = -1) {
    std::vector<std::array<unsigned char, 64>> log(1);
    const int total = CalidraSim_GetCommandLog(0, reinterpret_cast<unsigned char(*)[64]>(log.data()), 0);
    if (total <= 0) return 0;
    log.resize(static_cast<std::size_t>(total) + 64);
    const int got =
        CalidraSim_GetCommandLog(0, reinterpret_cast<unsigned char(*)[64]>(log.data()), static_cast<int>(log.size()));
    int count = 0;
    for (int i = 0; i < std::min(got, static_cast<int>(log.size())); ++i) {
        const auto& packet = log[static_cast<std::size_t>(i)];
        count += packet[0] == code && (reg < 0 || packet[1] == reg);
    }
    return count;
}

// Start-frame packets the camera has received so far.
inline int StartFramePackets() { return PacketsReceived(0x02); }

// Waits until the camera has been asked for n more frames.
inline bool WaitForTransfers(int n) {
    const int start = StartFramePackets();
    const std::uint32_t t0 = Clock::TimeMs();
    while (Clock::TimeMs() - t0 < kHangGuardMs) {
        if (StartFramePackets() >= start + n) return true;
        Clock::Sleep(5);
    }
    return false;
}

class LiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        window = MessageWindowTable::Instance().Create();
        ASSERT_NE(window, nullptr);
        instance = std::make_unique<CCalidra>();
        instance->Init(window);
        // No automatic calibration and its hold-off unless a test asks for it.
        instance->SetParam(15, 0);
    }

    void TearDown() override {
        instance.reset();
        MessageWindowTable::Instance().Destroy(window);
        CalidraSim_Reset();
    }

    // The next WM_CAMERA_FRAME's id; error codes met on the way are kept.
    bool NextFrame(std::uint32_t& id, std::uint32_t timeoutMs = kHangGuardMs) {
        const std::uint32_t t0 = Clock::TimeMs();
        for (;;) {
            const std::uint32_t spent = Clock::TimeMs() - t0;
            if (spent > timeoutMs) return false;
            CALIDRA_MSG msg{};
            if (MessageWindowTable::Instance().Wait(window, &msg, timeoutMs - spent) != 1) return false;
            if (msg.message == WM_CAMERA_ERROR) {
                errorsSeen.push_back(static_cast<int>(msg.lParam));
                continue;
            }
            if (msg.message == WM_CAMERA_FRAME) {
                id = static_cast<std::uint32_t>(msg.lParam);
                return true;
            }
        }
    }

    // Waits for a posted error code.
    bool NextError(int code, std::uint32_t timeoutMs = kHangGuardMs) {
        const std::uint32_t t0 = Clock::TimeMs();
        for (;;) {
            for (int seen : errorsSeen)
                if (seen == code) return true;
            const std::uint32_t spent = Clock::TimeMs() - t0;
            if (spent > timeoutMs) return false;
            CALIDRA_MSG msg{};
            if (MessageWindowTable::Instance().Wait(window, &msg, timeoutMs - spent) != 1) return false;
            if (msg.message == WM_CAMERA_ERROR) errorsSeen.push_back(static_cast<int>(msg.lParam));
        }
    }

    // Takes every message queued now; the number of frame messages among them.
    int DrainFrames() {
        int frames = 0;
        CALIDRA_MSG msg{};
        while (MessageWindowTable::Instance().Wait(window, &msg, 0) == 1) {
            if (msg.message == WM_CAMERA_FRAME) ++frames;
            if (msg.message == WM_CAMERA_ERROR) errorsSeen.push_back(static_cast<int>(msg.lParam));
        }
        return frames;
    }

    void ClearErrorStack() {
        while (instance->GetLastError() != 0) {
        }
    }

    HWND window = nullptr;
    std::unique_ptr<CCalidra> instance;
    std::vector<int> errorsSeen;
};

}  // namespace calidra::livetest
