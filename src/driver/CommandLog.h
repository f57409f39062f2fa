// The 64-byte command packets a simulated camera received, oldest first.
#pragma once

#include <array>
#include <cstdint>
#include <deque>

namespace calidra::sim {

class CommandLog {
public:
    using Packet = std::array<std::uint8_t, 64>;
    // A stream adds 30 start-frame packets a second; past this many the oldest
    // are dropped, though they still count towards the total.
    static constexpr std::size_t kMaxKept = 65536;

    void Append(const std::uint8_t* packet);
    void Clear();
    // Copies up to maxPackets of the kept packets, oldest first; returns the
    // number received since the last clear.
    int Copy(std::uint8_t (*packets)[64], int maxPackets) const;

private:
    std::deque<Packet> kept_;
    std::uint64_t total_ = 0;
};

}  // namespace calidra::sim
