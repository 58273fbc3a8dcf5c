#pragma once
// Builds well-formed S-record lines for tests (count and checksum correct).

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace mirvok::test {

inline std::string MakeRecord(char type, std::uint32_t address, int addressBytes,
                              const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes;
    // Reserved up front: without it GCC 12 at -O3 believes the first
    // push_back writes past an empty buffer.
    bytes.reserve(static_cast<std::size_t>(addressBytes) + data.size() + 2);
    bytes.push_back(static_cast<std::uint8_t>(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum));
    std::string line = std::string("S") + type;
    char hex[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

inline std::vector<std::uint8_t> Bytes(std::uint8_t seed, int count = 16) {
    std::vector<std::uint8_t> data;
    for (int i = 0; i < count; ++i) data.push_back(static_cast<std::uint8_t>(seed + i * 7));
    return data;
}

inline std::string S0() {
    return MakeRecord('0', 0, 2, {'R', 'O', 'M'});
}
inline std::string S1(std::uint32_t address) {
    return MakeRecord('1', address, 2, Bytes(static_cast<std::uint8_t>(address)));
}
inline std::string S2(std::uint32_t address) {
    return MakeRecord('2', address, 3, Bytes(static_cast<std::uint8_t>(address >> 4)));
}
inline std::string S8(std::uint32_t start = 0) {
    return MakeRecord('8', start, 3, {});
}
inline std::string S9(std::uint32_t start = 0) {
    return MakeRecord('9', start, 2, {});
}

inline std::string JoinLines(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
}

}  // namespace mirvok::test
