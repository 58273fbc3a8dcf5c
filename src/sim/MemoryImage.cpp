#include "MemoryImage.h"

namespace mirvok::sim {

void MemoryImage::Write(std::uint32_t address, std::string_view bytes) {
    for (char c : bytes) {
        Page& page = pages_[address / kPageSize];
        page.bytes[address % kPageSize] = static_cast<std::uint8_t>(c);
        page.written.set(address % kPageSize);
        ++address;  // wraps at 4 GiB like the address bus
    }
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
