// Talking to the virtual driver through the platform's device calls, as the
// library does, for the driver's tests.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "calidra_sim.h"
#include "platform/DeviceIo.h"
#include "platform/LittleEndian.h"

namespace calidra::simtest {

constexpr std::uint32_t kCodeIn = 0x222051;
constexpr std::uint32_t kCodeOut = 0x22204E;
constexpr const char* kPath0 = "\\\\.\\Opvo640ULIS-0";
constexpr int kPixels = 640 * 480;

using Packet = std::array<std::uint8_t, 64>;

inline Packet MakePacket(std::uint8_t code, std::uint8_t b1 = 0, std::uint8_t b2 = 0) {
    Packet p{};
    p[0] = code;
    p[1] = b1;
    p[2] = b2;
    return p;
}

inline bool Call(DeviceHandle h, std::uint32_t code, std::uint32_t pipe, void* buffer, std::uint32_t length,
                 std::uint32_t* bytes = nullptr) {
    std::uint8_t selector[4];
    PutLE32(selector, pipe);
    std::uint32_t ignored = 0;
    return DeviceIo::Control(h, code, selector, 4, buffer, length, bytes != nullptr ? bytes : &ignored);
}

inline bool Send(DeviceHandle h, Packet p) { return Call(h, kCodeIn, 0, p.data(), 64); }

inline bool WriteReg(DeviceHandle h, int reg, int value) {
    return Send(h, MakePacket(0x25, static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value)));
}

// -1 when any step fails.
inline int ReadReg(DeviceHandle h, int reg) {
    if (!Send(h, MakePacket(0x26, static_cast<std::uint8_t>(reg)))) return -1;
    Packet reply{};
    if (!Call(h, kCodeOut, 1, reply.data(), 64)) return -1;
    if (!Call(h, kCodeOut, 1, reply.data(), 64)) return -1;
    return reply[0];
}

// One 16-bit full frame, decoded; empty when the transfer failed or was short.
inline std::vector<std::uint16_t> ReadFrame(DeviceHandle h) {
    if (!Send(h, MakePacket(0x02))) return {};
    std::vector<std::uint8_t> bytes(2 * kPixels);
    std::uint32_t got = 0;
    if (!Call(h, kCodeIn, 2, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &got) || got != bytes.size())
        return {};
    std::vector<std::uint16_t> pixels(kPixels);
    for (int i = 0; i < kPixels; ++i) pixels[i] = GetLE16(bytes.data() + 2 * i);
    return pixels;
}

inline std::vector<Packet> CommandLog(int index) {
    int count = CalidraSim_GetCommandLog(index, nullptr, 0);
    std::vector<unsigned char> raw(64 * static_cast<std::size_t>(count));
    if (count > 0) CalidraSim_GetCommandLog(index, reinterpret_cast<unsigned char(*)[64]>(raw.data()), count);
    std::vector<Packet> log(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < log.size(); ++i) std::copy_n(raw.data() + 64 * i, 64, log[i].begin());
    return log;
}

}  // namespace calidra::simtest
