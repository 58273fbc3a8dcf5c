#pragma once
// The name of a remote serial port: rfc2217://HOST:PORT, HOST a name, an IPv4
// address or an IPv6 address in brackets, and "?lines=ignore" after it for a
// server that can't read the modem lines (one in front of a pseudo-terminal
// reports them all off): DSR and CTS then count as on, as on a port without
// those lines.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirvok::remote {

inline constexpr std::string_view kUrlScheme = "rfc2217://";
inline constexpr std::string_view kIgnoreLines = "?lines=ignore";

struct RemoteAddress {
    std::string host;  // without brackets
    std::uint16_t port = 0;
    bool ignoreLines = false;

    std::string Url() const;
    bool operator==(const RemoteAddress&) const = default;
};

// Whether a port name is meant as a remote port (the scheme, in any case).
bool IsRemoteUrl(std::string_view text);

// The address of a well-formed URL; nothing for anything else (no user,
// path or query but kIgnoreLines; port 1 to 65535).
std::optional<RemoteAddress> ParseRemoteUrl(std::string_view text);

}  // namespace mirvok::remote
