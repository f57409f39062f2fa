// An instance reached only through the public C interface, on the virtual
// camera, with the frames, files and command traffic the acceptance tests look
// at. Every wait has a generous limit that only guards against a hang.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "calidra.h"
#include "calidra_sim.h"
#include "calidra_window.h"
#include "support/ScratchFiles.h"

namespace calidra::apitest {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;
constexpr unsigned long kRawBytes = kPixels * 2;
constexpr unsigned long kColourBytes = kPixels * 3;
constexpr unsigned long kTemperatureBytes = kPixels * 4;
// Generous: under ThreadSanitizer on a loaded two-core machine one frame can
// take seconds, and a calibration waits for thirty.
constexpr std::chrono::milliseconds kHangGuard{120000};

using Packet = std::array<std::uint8_t, 64>;
using Frame = std::vector<std::uint16_t>;

// A frame as the camera delivers it: sensor line 0 (the picture's top) first.
inline Frame FlatFrame(std::uint16_t level) { return Frame(kPixels, level); }

// Sensor line y holds base + y everywhere.
inline Frame RampFrame(std::uint16_t base) {
    Frame frame(kPixels);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            frame[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint16_t>(base + y);
    return frame;
}

inline std::uint16_t& At(Frame& frame, int sensorLine, int x) {
    return frame[static_cast<std::size_t>(sensorLine) * kWidth + static_cast<std::size_t>(x)];
}

using test::ReadAll;
using test::ReadSome;
using test::ScratchDir;

inline void WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) return 0xDEADBEEFu;
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

inline std::uint16_t Le16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (at + 2 > bytes.size()) return 0xBEEF;
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

inline void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

inline void PutDouble(std::vector<std::uint8_t>& bytes, std::size_t at, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, 8);
    for (int k = 0; k < 8; ++k) bytes[at + k] = static_cast<std::uint8_t>(bits >> (8 * k));
}

inline double DoubleAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (at + 8 > bytes.size()) return -1.0e300;
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) bits |= static_cast<std::uint64_t>(bytes[at + k]) << (8 * k);
    double value = 0;
    std::memcpy(&value, &bits, 8);
    return value;
}

inline std::string FourCc(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) return "";
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

// Every command packet camera index has received since the last reset or clear.
inline std::vector<Packet> CommandLog(int index) {
    const int total = CalidraSim_GetCommandLog(index, nullptr, 0);
    std::vector<Packet> log(static_cast<std::size_t>(total > 0 ? total : 0) + 256);
    const int got = CalidraSim_GetCommandLog(index, reinterpret_cast<unsigned char(*)[64]>(log.data()),
                                             static_cast<int>(log.size()));
    log.resize(static_cast<std::size_t>(std::min<int>(got, static_cast<int>(log.size()))));
    return log;
}

inline Packet MakePacket(std::initializer_list<std::uint8_t> bytes) {
    Packet packet{};
    std::size_t i = 0;
    for (std::uint8_t b : bytes) packet[i++] = b;
    return packet;
}

inline Packet WriteReg(int reg, int value) {
    return MakePacket({0x25, static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value)});
}
inline Packet ReadReg(int reg) { return MakePacket({0x26, static_cast<std::uint8_t>(reg)}); }

inline bool WaitUntil(const std::function<bool()>& done) {
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (std::chrono::steady_clock::now() - start > kHangGuard) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// One instance with a window of its own; camera 0 only. Automatic calibration is
// off and the colour range fixed at 1000..3000, so a fixed frame comes back
// exactly as the camera sent it.
class ApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        CalidraSim_Reset();
        window = CalidraWindow_Create();
        ASSERT_NE(window, nullptr);
        handle = Calidra_Initialize(window);
        ASSERT_NE(handle, 0ul);
        Calidra_SetParam(handle, 15, 0);
        Calidra_SetParam(handle, 12, 0);
        Calidra_SetParam(handle, 13, 1000);
        Calidra_SetParam(handle, 14, 3000);
    }

    void TearDown() override {
        Calidra_Release(handle);
        CalidraWindow_Destroy(window);
        CalidraSim_Reset();
    }

    // Pops every code on the error stack.
    void ClearErrors() {
        while (Calidra_GetLastError(handle) != 0) {
        }
    }

    // One frame of exactly these levels, captured while idle; its id.
    unsigned long Capture(const Frame& frame) {
        CalidraSim_SetFrame(0, frame.data());
        const unsigned long id = Calidra_OneShot(handle);
        EXPECT_NE(Calidra_GetNewID(handle), 0ul) << "the one-shot stored no frame";
        return id;
    }

    std::vector<std::uint16_t> Raw(unsigned long id) {
        std::vector<std::uint16_t> raw(kPixels);
        EXPECT_EQ(Calidra_GetRaw(handle, id, raw.data(), kRawBytes), 1);
        return raw;
    }

    std::vector<std::uint8_t> Colour(unsigned long id) {
        std::vector<std::uint8_t> colour(kColourBytes);
        EXPECT_EQ(Calidra_GetColor(handle, id, colour.data(), kColourBytes), 1);
        return colour;
    }

    // Waits until the newest stored frame holds frame as the camera sends it
    // (sensor line 0 last). A frame set while previewing reaches the ring only
    // after those the transfer buffers already hold, however many messages
    // come first.
    bool WaitUntilStored(const Frame& frame) {
        std::vector<std::uint16_t> raw(kPixels);
        return WaitUntil([&] {
            const unsigned long id = Calidra_GetNewID(handle);
            if (id == 0 || Calidra_GetRaw(handle, id, raw.data(), kRawBytes) != 1) return false;
            for (int line = 0; line < kHeight; ++line) {
                const auto stored = raw.begin() + static_cast<std::ptrdiff_t>(kHeight - 1 - line) * kWidth;
                if (!std::equal(stored, stored + kWidth, frame.begin() + static_cast<std::ptrdiff_t>(line) * kWidth))
                    return false;
            }
            return true;
        });
    }

    // Takes messages until count more frames were announced; codes posted on
    // the way are kept in errorsSeen.
    bool WaitFrames(int count) {
        const auto start = std::chrono::steady_clock::now();
        while (count > 0) {
            const auto spent = std::chrono::steady_clock::now() - start;
            if (spent > kHangGuard) return false;
            CALIDRA_MSG msg{};
            const int got = CalidraWindow_WaitMessage(window, &msg, 500);
            if (got < 0) return false;
            if (got == 0) continue;
            if (msg.message == WM_CAMERA_FRAME) --count;
            if (msg.message == WM_CAMERA_ERROR) errorsSeen.push_back(static_cast<int>(msg.lParam));
        }
        return true;
    }

    // Takes every message queued now, so that the next wait counts only frames
    // stored from here on.
    void DrainMessages() {
        CALIDRA_MSG msg{};
        while (CalidraWindow_WaitMessage(window, &msg, 0) == 1) {
            if (msg.message == WM_CAMERA_ERROR) errorsSeen.push_back(static_cast<int>(msg.lParam));
        }
    }

    bool Seen(int code) const { return std::find(errorsSeen.begin(), errorsSeen.end(), code) != errorsSeen.end(); }

    HWND window = nullptr;
    unsigned long handle = 0;
    std::vector<int> errorsSeen;
};

}  // namespace calidra::apitest
