#include "TransmitLine.h"

#include <algorithm>

namespace mirvok::sim {

void TransmitLine::Send(std::string_view bytes, std::int64_t startUs, std::int64_t charUs,
                        std::int64_t gapUs) {
    std::int64_t t = std::max(startUs, freeAtUs_);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) t += gapUs;
        t += charUs;
        queue_.emplace_back(t, bytes[i]);
    }
    freeAtUs_ = std::max(freeAtUs_, t);
}

std::string TransmitLine::TakeArrived(std::int64_t nowUs) {
    std::string out;
    while (!queue_.empty() && queue_.front().first <= nowUs) {
        out.push_back(queue_.front().second);
        queue_.pop_front();
    }
    return out;
}

std::optional<std::int64_t> TransmitLine::NextArrivalUs() const {
    if (queue_.empty()) return std::nullopt;
    return queue_.front().first;
}

}  // namespace mirvok::sim
