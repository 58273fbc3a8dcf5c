#include "DataImage.h"

namespace mirvok::cli {

DataImage::Page* DataImage::PageFor(std::uint64_t number) {
    if (const auto found = pages_.find(number); found != pages_.end()) return found->second.get();
    if (pages_.size() >= kMaxPages) return nullptr;
    return pages_.emplace(number, std::make_unique<Page>()).first->second.get();
}

DataImage::Overlap DataImage::Write(std::uint64_t address, const std::string& data) {
    Overlap overlap;
    Page* page = nullptr;
    std::uint64_t pageNumber = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint64_t at = address + i;
        if (!page || at / kPageBytes != pageNumber) {
            pageNumber = at / kPageBytes;
            page = PageFor(pageNumber);
            if (!page) {
                complete_ = false;
                continue;
            }
        }
        const std::size_t offset = at % kPageBytes;
        const auto value = static_cast<std::uint8_t>(data[i]);
        if (!page->written[offset]) {
            page->written[offset] = true;
            page->value[offset] = value;
            ++bytes_;
        } else if (page->value[offset] == value) {
            if (overlap.repeatedBytes++ == 0) overlap.firstRepeat = at;
        } else if (overlap.conflictingBytes++ == 0) {
            overlap.firstConflict = at;
            overlap.earlierValue = page->value[offset];
            overlap.newValue = value;
        }
    }
    return overlap;
}

}  // namespace mirvok::cli
