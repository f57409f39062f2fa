#include "AccessGuard.h"

#include <cstdio>
#include <random>

#include "ListenAddress.h"

namespace calidra::tool {

bool AccessGuard::HostAllowed(std::string_view host) const {
    if (!loopbackOnly_) return true;
    // "name:port" or "[v6]:port"; a Host without a port names port 80.
    std::size_t colon = host.rfind(':');
    if (colon == std::string_view::npos || host.find(']', colon) != std::string_view::npos) {
        colon = host.size();
    }
    std::string error;
    std::optional<ListenAddress> address = ListenAddress::Parse(std::string(host.substr(0, colon)) + ":0", &error);
    return address && address->loopback;
}

bool AccessGuard::OriginAllowed(std::string_view origin, std::string_view host) const {
    return origin.empty() || origin == "http://" + std::string(host);
}

bool AccessGuard::TokenAllowed(std::string_view given) const {
    if (token_.empty()) return true;
    // Every byte is compared, so the time taken tells nothing about the token.
    unsigned difference = given.size() != token_.size() ? 1u : 0u;
    for (std::size_t i = 0; i < token_.size(); ++i) {
        difference |=
            static_cast<unsigned char>(token_[i]) ^ static_cast<unsigned char>(i < given.size() ? given[i] : 0);
    }
    return difference == 0;
}

std::string AccessGuard::RandomToken() {
    std::random_device device;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(device()));
        token += digits;
    }
    return token;
}

}  // namespace calidra::tool
