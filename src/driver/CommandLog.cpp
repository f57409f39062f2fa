#include "driver/CommandLog.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace calidra::sim {

void CommandLog::Append(const std::uint8_t* packet) {
    Packet copy;
    std::memcpy(copy.data(), packet, copy.size());
    kept_.push_back(copy);
    if (kept_.size() > kMaxKept) kept_.pop_front();
    ++total_;
}

void CommandLog::Clear() {
    kept_.clear();
    total_ = 0;
}

int CommandLog::Copy(std::uint8_t (*packets)[64], int maxPackets) const {
    if (packets != nullptr && maxPackets > 0) {
        std::size_t count = std::min(kept_.size(), static_cast<std::size_t>(maxPackets));
        for (std::size_t i = 0; i < count; ++i) std::memcpy(packets[i], kept_[i].data(), 64);
    }
    return static_cast<int>(std::min<std::uint64_t>(total_, INT_MAX));
}

}  // namespace calidra::sim
