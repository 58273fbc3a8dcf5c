#include "MemoryImage.h"

#include <algorithm>

namespace mirvok::sim {

MemoryImage::Page* MemoryImage::PageFor(std::uint32_t number) {
    if (const auto found = pages_.find(number); found != pages_.end()) return &found->second;
    if (pages_.size() >= kMaxPages) return nullptr;
    return &pages_[number];
}

// Page by page: a record's bytes nearly always lie in one page.
MemoryImage::Overlap MemoryImage::Write(std::uint32_t address, std::string_view bytes) {
    Overlap overlap;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::uint32_t offset = address % kPageSize;
        const std::size_t run = std::min<std::size_t>(bytes.size() - done, kPageSize - offset);
        Page* page = PageFor(address / kPageSize);
        if (!page) {
            complete_ = false;
        } else {
            for (std::size_t i = 0; i < run; ++i)
                WriteByte(*page, offset + i, address + static_cast<std::uint32_t>(i), bytes[done + i],
                          overlap);
        }
        done += run;
        address += static_cast<std::uint32_t>(run);  // wraps at 4 GiB like the address bus
    }
    return overlap;
}

void MemoryImage::WriteByte(Page& page, std::size_t offset, std::uint32_t at, char c, Overlap& overlap) {
    const auto value = static_cast<std::uint8_t>(c);
    if (page.written.test(offset)) {
        if (page.bytes[offset] == value) {
            if (overlap.repeatedBytes++ == 0) overlap.firstRepeat = at;
        } else if (overlap.conflictingBytes++ == 0) {
            overlap.firstConflict = at;
            overlap.earlierValue = page.bytes[offset];
            overlap.newValue = value;
        }
    }
    page.bytes[offset] = value;
    page.written.set(offset);
}

std::optional<std::uint8_t> MemoryImage::At(std::uint32_t address) const {
    auto it = pages_.find(address / kPageSize);
    if (it == pages_.end() || !it->second.written.test(address % kPageSize)) return std::nullopt;
    return it->second.bytes[address % kPageSize];
}

std::string MemoryImage::Read(std::uint32_t address, std::size_t length, std::uint8_t fill) const {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        auto byte = At(static_cast<std::uint32_t>(address + i));
        out.push_back(static_cast<char>(byte.value_or(fill)));
    }
    return out;
}

std::size_t MemoryImage::ByteCount() const {
    std::size_t count = 0;
    for (const auto& [number, page] : pages_) count += page.written.count();
    return count;
}

std::vector<std::pair<std::uint32_t, std::string>> MemoryImage::Segments() const {
    std::vector<std::pair<std::uint32_t, std::string>> runs;
    std::optional<std::uint32_t> next;  // address that would extend the last run
    for (const auto& [number, page] : pages_) {
        for (std::uint32_t offset = 0; offset < kPageSize; ++offset) {
            if (!page.written.test(offset)) continue;
            const std::uint32_t address = number * kPageSize + offset;
            if (!next || *next != address) runs.emplace_back(address, std::string());
            runs.back().second.push_back(static_cast<char>(page.bytes[offset]));
            next = address + 1;
        }
    }
    return runs;
}

}  // namespace mirvok::sim
