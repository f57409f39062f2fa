#include "device/CommandPacket.h"

#include "platform/LittleEndian.h"

namespace calidra {

CommandPacket CommandPacket::StartFrame() { return CommandPacket(kStartFrame); }

CommandPacket CommandPacket::Init() { return CommandPacket(kInit); }

CommandPacket CommandPacket::TransferLength(std::uint32_t pixels) {
    CommandPacket packet(kTransferLength);
    PutLE32(packet.bytes_.data() + 1, pixels);
    return packet;
}

CommandPacket CommandPacket::TransferMode(bool sixteenBit) {
    CommandPacket packet(kTransferMode);
    packet.bytes_[1] = sixteenBit ? 1 : 0;
    return packet;
}

CommandPacket CommandPacket::RegisterWrite(std::uint8_t reg, int value) {
    CommandPacket packet(kRegisterWrite);
    packet.bytes_[1] = reg;
    packet.bytes_[2] = static_cast<std::uint8_t>(value & 0xFF);
    return packet;
}

CommandPacket CommandPacket::RegisterRead(std::uint8_t reg) {
    CommandPacket packet(kRegisterRead);
    packet.bytes_[1] = reg;
    return packet;
}

}  // namespace calidra
