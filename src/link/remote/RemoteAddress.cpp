#include "RemoteAddress.h"

#include <algorithm>
#include <cctype>

namespace mirvok::remote {
namespace {

// Longest host name the resolver takes.
constexpr std::size_t kMaxHostLength = 253;

bool HostNameCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool Ipv6Character(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
}

std::optional<std::uint16_t> PortNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::string RemoteAddress::Url() const {
    const bool ipv6 = host.find(':') != std::string::npos;
    return std::string(kUrlScheme) + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port) +
           (ignoreLines ? std::string(kIgnoreLines) : "");
}

bool IsRemoteUrl(std::string_view text) {
    if (text.size() < kUrlScheme.size()) return false;
    return std::equal(kUrlScheme.begin(), kUrlScheme.end(), text.begin(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::optional<RemoteAddress> ParseRemoteUrl(std::string_view text) {
    if (!IsRemoteUrl(text)) return std::nullopt;
    std::string_view rest = text.substr(kUrlScheme.size());
    RemoteAddress address;
    if (rest.ends_with(kIgnoreLines)) {
        address.ignoreLines = true;
        rest.remove_suffix(kIgnoreLines.size());
    }
    if (rest.starts_with("[")) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        address.host = std::string(rest.substr(1, close - 1));
        if (address.host.empty() || !std::all_of(address.host.begin(), address.host.end(), Ipv6Character))
            return std::nullopt;
        rest.remove_prefix(close + 1);
        if (!rest.starts_with(":")) return std::nullopt;
        rest.remove_prefix(1);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        address.host = std::string(rest.substr(0, colon));
        if (address.host.empty() || !std::all_of(address.host.begin(), address.host.end(), HostNameCharacter))
            return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
    if (address.host.size() > kMaxHostLength) return std::nullopt;
    const std::optional<std::uint16_t> port = PortNumber(rest);
    if (!port) return std::nullopt;
    address.port = *port;
    return address;
}

}  // namespace mirvok::remote
