#include "ListenAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include "Numbers.h"

namespace calidra::tool {

std::optional<ListenAddress> ListenAddress::Parse(std::string_view text, std::string* error) {
    *error =
        "--listen takes HOST:PORT with a numeric address or localhost (for example 127.0.0.1:8080 or "
        "[::1]:8080), not '" +
        std::string(text) + "'";
    std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view host = text.substr(0, colon);
    std::optional<int> port = Numbers::ParseInt(text.substr(colon + 1));
    if (!port || *port < 0 || *port > 65535) return std::nullopt;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    ListenAddress address;
    address.host = host == "localhost" ? "127.0.0.1" : std::string(host);
    address.port = *port;
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, address.host.c_str(), &v4) == 1) {
        address.loopback = (ntohl(v4.s_addr) >> 24) == 127;
    } else if (inet_pton(AF_INET6, address.host.c_str(), &v6) == 1) {
        address.loopback = IN6_IS_ADDR_LOOPBACK(&v6);
    } else {
        return std::nullopt;
    }
    error->clear();
    return address;
}

std::string ListenAddress::Url(int boundPort) const {
    const bool v6 = host.find(':') != std::string::npos;
    return "http://" + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(boundPort) + "/";
}

}  // namespace calidra::tool
