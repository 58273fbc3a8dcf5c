#pragma once
// The device's transmit line: bytes stamped with the time each one has fully
// arrived at the host. Bytes leave one after the other, never overlapping,
// one character time apart (plus any gap between characters).

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace mirvok::sim {

class TransmitLine {
public:
    // Sends bytes starting no earlier than `startUs`, or when the line is free.
    void Send(std::string_view bytes, std::int64_t startUs, std::int64_t charUs, std::int64_t gapUs);

    // Removes and returns the bytes that have arrived by `nowUs`.
    std::string TakeArrived(std::int64_t nowUs);
    bool HasArrived(std::int64_t nowUs) const { return !queue_.empty() && queue_.front().first <= nowUs; }
    std::optional<std::int64_t> NextArrivalUs() const;
    // When the last queued byte will have arrived (the line is free after it).
    std::int64_t FreeAtUs() const { return freeAtUs_; }
    bool Empty() const { return queue_.empty(); }

    // Drops everything not yet taken (nobody listens on the other end); the
    // line is free again from `nowUs`.
    void Clear(std::int64_t nowUs) {
        queue_.clear();
        freeAtUs_ = nowUs;
    }

private:
    std::deque<std::pair<std::int64_t, char>> queue_;
    std::int64_t freeAtUs_ = 0;
};

}  // namespace mirvok::sim
