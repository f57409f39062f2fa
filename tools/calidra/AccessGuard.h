// Who may do what on calidra serve. Watching is open to whoever can connect;
// control requests (POST) and files need the token when there is one.
// Requests sent by other web sites are refused: a POST whose Origin is not
// the server itself, and, on a loopback address, any request whose Host is
// not a loopback name (a DNS name rebound to 127.0.0.1).
#pragma once

#include <string>
#include <string_view>

namespace calidra::tool {

class AccessGuard {
public:
    // token: empty when none is needed.
    AccessGuard(std::string token, bool loopbackOnly) : token_(std::move(token)), loopbackOnly_(loopbackOnly) {}

    // host: the Host header.
    bool HostAllowed(std::string_view host) const;
    // origin: the Origin header, empty when absent.
    bool OriginAllowed(std::string_view origin, std::string_view host) const;
    // given: the X-Calidra-Token header or the token parameter.
    bool TokenAllowed(std::string_view given) const;
    bool TokenRequired() const { return !token_.empty(); }

    // 32 hexadecimal digits from the system's random source.
    static std::string RandomToken();

private:
    const std::string token_;
    const bool loopbackOnly_;
};

}  // namespace calidra::tool
