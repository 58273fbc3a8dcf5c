#pragma once
// The memory image that the data records of a file write, kept page by page
// so that a file spread over the 4 GiB address space costs about what its
// data holds. Each write says how much of it falls on bytes written before:
// with the same values (a repeat) or with other ones (a conflict, which
// leaves the earlier value in place). A hostile file cannot make it take
// more than kMaxPages pages: bytes beyond them are not kept, and Complete()
// says so.

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace mirvok::cli {

class DataImage {
public:
    struct Overlap {
        int repeatedBytes = 0;     // written before with the same value
        int conflictingBytes = 0;  // written before with another value
        std::uint64_t firstConflict = 0;
        std::uint8_t earlierValue = 0;  // at firstConflict
        std::uint8_t newValue = 0;
        std::uint64_t firstRepeat = 0;
    };

    // Addresses run on past 0xFFFFFFFF instead of wrapping: a record that
    // crosses the top of the address space writes above it.
    Overlap Write(std::uint64_t address, const std::string& data);

    // 64 MiB of data written in one piece, far more than any ROM holds; a
    // file that scatters its bytes stops being kept after as many pages.
    static constexpr std::size_t kPageBytes = 1024;
    static constexpr std::size_t kMaxPages = 65536;

    std::uint64_t ByteCount() const { return bytes_; }
    // False once a write fell on a page beyond kMaxPages.
    bool Complete() const { return complete_; }

    // Every byte written, in ascending address order.
    template <typename Visit>
    void ForEachByte(Visit visit) const {
        for (const auto& [number, page] : pages_)
            for (std::size_t i = 0; i < kPageBytes; ++i)
                if (page->written[i]) visit(number * kPageBytes + i, page->value[i]);
    }

private:
    struct Page {
        std::array<std::uint8_t, kPageBytes> value{};
        std::bitset<kPageBytes> written;
    };
    Page* PageFor(std::uint64_t number);  // nullptr beyond kMaxPages

    std::map<std::uint64_t, std::unique_ptr<Page>> pages_;
    std::uint64_t bytes_ = 0;
    bool complete_ = true;
};

}  // namespace mirvok::cli
