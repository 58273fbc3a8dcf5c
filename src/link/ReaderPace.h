#pragma once
// Whether the far end of a pseudo-terminal takes the bytes at about the
// line's rate (a simulated device that paces its line) or far faster. A
// pseudo-terminal shows no output queue, so what has left is reckoned by the
// line's clock; that holds only for a reader that paces itself, and one that
// takes everything at once has the bytes as soon as they are written.
//
// Judged over windows of kWindowUs: where writes had to wait for room, by how
// fast room came while they waited (a burst that filled the buffer does not
// count); where none had to, by how fast the bytes went. A reader that took
// more than a pseudo-terminal holds without making a write wait keeps up at
// once, before any window has ended.

#include <cstddef>
#include <cstdint>

namespace mirvok {

class ReaderPace {
public:
    static constexpr std::int64_t kWindowUs = 100'000;
    // Taking bytes more than this many times faster than the line carries
    // them is keeping up with the writer.
    static constexpr double kFasterThanLine = 2.0;
    // More than a pseudo-terminal's buffer holds.
    static constexpr double kMoreThanBuffered = 64 * 1024;

    explicit ReaderPace(double characterUs) : characterUs_(characterUs) {}

    // `bytes` were written at nowUs, `waitedUs` of it spent waiting for room.
    void Wrote(std::int64_t nowUs, std::size_t bytes, std::int64_t waitedUs);
    // Until a window has been judged, the reader counts as pacing itself.
    bool KeepsUp() const { return keepsUp_ || unwaitedBytes_ > kMoreThanBuffered; }

private:
    double characterUs_;
    std::int64_t windowStartUs_ = -1;
    double bytes_ = 0;          // written in this window
    double waitedBytes_ = 0;    // written by writes that had to wait
    double waitedUs_ = 0;       // how long those waited
    double unwaitedBytes_ = 0;  // written since a write last had to wait
    bool keepsUp_ = false;
};

}  // namespace mirvok
