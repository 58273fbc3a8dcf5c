#pragma once
// The device's memory as the download builds it: sparse, in pages, so a
// 576 KiB ROM costs little and untouched addresses read as erased flash.

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirvok::sim {

class MemoryImage {
public:
    static constexpr std::uint8_t kErased = 0xFF;

    void Write(std::uint32_t address, std::string_view bytes);
    void Clear() { pages_.clear(); }

    std::optional<std::uint8_t> At(std::uint32_t address) const;
    // `length` bytes from `address`; addresses never written read as `fill`.
    std::string Read(std::uint32_t address, std::size_t length, std::uint8_t fill = kErased) const;
    std::size_t ByteCount() const;
    bool Empty() const { return pages_.empty(); }

    // The written bytes as runs of consecutive addresses, in address order.
    std::vector<std::pair<std::uint32_t, std::string>> Segments() const;

    bool operator==(const MemoryImage& other) const { return Segments() == other.Segments(); }

private:
    static constexpr std::uint32_t kPageSize = 4096;
    struct Page {
        std::array<std::uint8_t, kPageSize> bytes{};
        std::bitset<kPageSize> written;
    };
    std::map<std::uint32_t, Page> pages_;  // by page number
};

}  // namespace mirvok::sim
