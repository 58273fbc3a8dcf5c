#include "HistoryDisplayName.h"

#include <cstddef>
#include <vector>

#include "link/WireCharacters.h"
#include "startup/CodePage.h"

namespace mirvok {
namespace {

constexpr std::size_t kShortLimitBytes = 44;
constexpr std::size_t kKeptBytes = 20;

// Byte offsets at which a character begins. A trail byte can look like an
// ASCII letter, so character boundaries are only known by walking from the start.
std::vector<std::size_t> CharacterStarts(const std::string& bytes) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < bytes.size();) {
        starts.push_back(i);
        i += wire::IsCp932LeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
    }
    return starts;
}

// The whole characters lying within the first `count` bytes.
std::string Head(const std::string& bytes, const std::vector<std::size_t>& starts, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        const std::size_t next = k + 1 < starts.size() ? starts[k + 1] : bytes.size();
        if (next > count) break;
        end = next;
    }
    return bytes.substr(0, end);
}

// The whole characters lying within the last `count` bytes.
std::string Tail(const std::string& bytes, const std::vector<std::size_t>& starts, std::size_t count) {
    const std::size_t from = bytes.size() - count;
    for (std::size_t start : starts)
        if (start >= from) return bytes.substr(start);
    return std::string();
}

}  // namespace

std::string HistoryDisplayName(const std::string& path) {
    const std::string bytes = ToCp932(path);
    if (bytes.size() < kShortLimitBytes) return path;
    const std::vector<std::size_t> starts = CharacterStarts(bytes);
    return FromCp932(Head(bytes, starts, kKeptBytes)) + "..." + FromCp932(Tail(bytes, starts, kKeptBytes));
}

}  // namespace mirvok
