// Where calidra serve listens: "127.0.0.1:8080", "0.0.0.0:80", "[::1]:8080",
// "localhost:8080". Port 0 takes any free port.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace calidra::tool {

struct ListenAddress {
    std::string host;  // a numeric address, as the socket is bound to it
    int port = 0;
    bool loopback = false;  // only this machine can connect

    // nullopt with a message in *error when the text is not an address.
    static std::optional<ListenAddress> Parse(std::string_view text, std::string* error);
    // "http://127.0.0.1:8080/" with the port really bound.
    std::string Url(int boundPort) const;
};

}  // namespace calidra::tool
