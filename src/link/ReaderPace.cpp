#include "ReaderPace.h"

namespace mirvok {

void ReaderPace::Wrote(std::int64_t nowUs, std::size_t bytes, std::int64_t waitedUs) {
    if (windowStartUs_ < 0) windowStartUs_ = nowUs;
    bytes_ += static_cast<double>(bytes);
    if (waitedUs > 0) {
        waitedBytes_ += static_cast<double>(bytes);
        waitedUs_ += static_cast<double>(waitedUs);
        unwaitedBytes_ = 0;
    } else {
        unwaitedBytes_ += static_cast<double>(bytes);
    }
    const double spanUs = static_cast<double>(nowUs - windowStartUs_);
    if (spanUs < kWindowUs) return;
    keepsUp_ = waitedUs_ > 0 ? waitedBytes_ * characterUs_ > kFasterThanLine * waitedUs_
                             : bytes_ * characterUs_ > kFasterThanLine * spanUs;
    windowStartUs_ = nowUs;
    bytes_ = waitedBytes_ = waitedUs_ = 0;
}

}  // namespace mirvok
