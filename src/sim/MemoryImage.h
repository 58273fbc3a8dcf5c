#pragma once
// The device's memory as the download builds it: sparse, in pages, so a
// 576 KiB ROM costs little and untouched addresses read as erased flash.
// mirvok-cli's check builds the same image from a file to find two records
// that write one address. However a file scatters its bytes, at most
// kMaxPages pages are kept: bytes beyond them are dropped, and Complete()
// says so.

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
    static constexpr std::uint32_t kPageSize = 4096;
    static constexpr std::size_t kMaxPages = 16384;  // 64 MiB written in one piece, far beyond any ROM

    // How much of a write fell on bytes written before.
    struct Overlap {
        int repeatedBytes = 0;     // with the value they held
        int conflictingBytes = 0;  // with another value
        std::uint32_t firstRepeat = 0;
        std::uint32_t firstConflict = 0;
        std::uint8_t earlierValue = 0;  // at firstConflict, before the write
        std::uint8_t newValue = 0;
    };
    // The later write wins, as in flash written twice.
    Overlap Write(std::uint32_t address, std::string_view bytes);
    void Clear() {
        pages_.clear();
        complete_ = true;
    }

    std::optional<std::uint8_t> At(std::uint32_t address) const;
    // `length` bytes from `address`; addresses never written read as `fill`.
    std::string Read(std::uint32_t address, std::size_t length, std::uint8_t fill = kErased) const;
    std::size_t ByteCount() const;
    bool Empty() const { return pages_.empty(); }
    // False once a byte fell beyond the kMaxPages pages kept.
    bool Complete() const { return complete_; }

    // The written bytes as runs of consecutive addresses, in address order.
    std::vector<std::pair<std::uint32_t, std::string>> Segments() const;

    bool operator==(const MemoryImage& other) const { return Segments() == other.Segments(); }

private:
    struct Page {
        std::array<std::uint8_t, kPageSize> bytes{};
        std::bitset<kPageSize> written;
    };
    Page* PageFor(std::uint32_t number);  // nullptr beyond kMaxPages
    // The byte at `offset` of the page, the address `at`.
    static void WriteByte(Page& page, std::size_t offset, std::uint32_t at, char value, Overlap& overlap);

    std::map<std::uint32_t, Page> pages_;  // by page number
    bool complete_ = true;
};

}  // namespace mirvok::sim
