// A 64-byte command packet for the camera's command pipe: the command code in
// byte 0, its arguments after it, every other byte zero.
#pragma once

#include <array>
#include <cstdint>

namespace calidra {

class CommandPacket {
public:
    static constexpr std::uint32_t kSize = 64;

    static constexpr std::uint8_t kStartFrame = 0x02;
    static constexpr std::uint8_t kInit = 0x06;
    static constexpr std::uint8_t kTransferLength = 0x09;
    static constexpr std::uint8_t kTransferMode = 0x0A;
    static constexpr std::uint8_t kRegisterWrite = 0x25;
    static constexpr std::uint8_t kRegisterRead = 0x26;

    static CommandPacket StartFrame();
    static CommandPacket Init();
    // Length in pixels, 32-bit little-endian in bytes 1 to 4.
    static CommandPacket TransferLength(std::uint32_t pixels);
    static CommandPacket TransferMode(bool sixteenBit);
    // Only the low 8 bits of the value travel.
    static CommandPacket RegisterWrite(std::uint8_t reg, int value);
    static CommandPacket RegisterRead(std::uint8_t reg);

    std::uint8_t* Data() { return bytes_.data(); }
    const std::uint8_t* Data() const { return bytes_.data(); }
    std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }

private:
    explicit CommandPacket(std::uint8_t code) { bytes_[0] = code; }

    std::array<std::uint8_t, kSize> bytes_{};
};

}  // namespace calidra
