#pragma once
// The name of a remote serial port: rfc2217://HOST:PORT, HOST a name, an IPv4
// address or an IPv6 address in brackets.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirvok::remote {

inline constexpr std::string_view kUrlScheme = "rfc2217://";

struct RemoteAddress {
    std::string host;  // without brackets
    std::uint16_t port = 0;

    std::string Url() const;
    bool operator==(const RemoteAddress&) const = default;
};

// Whether a port name is meant as a remote port (the scheme, in any case).
bool IsRemoteUrl(std::string_view text);

// The address of a well-formed URL; nothing for anything else (no user,
// path or query; port 1 to 65535).
std::optional<RemoteAddress> ParseRemoteUrl(std::string_view text);

}  // namespace mirvok::remote
