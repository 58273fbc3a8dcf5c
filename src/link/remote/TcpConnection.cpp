#include "TcpConnection.h"

#include <algorithm>
#include <chrono>

namespace mirvok::remote {

std::int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int MsLeftUntil(std::int64_t deadlineMs) {
    return static_cast<int>(std::max<std::int64_t>(0, deadlineMs - SteadyNowMs()));
}

}  // namespace mirvok::remote
