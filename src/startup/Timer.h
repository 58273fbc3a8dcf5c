#pragma once
// A window timer as the operators' program knows it: an interval in
// milliseconds, an enabled switch and a tick handler. It ticks only while the
// host processes events. Changing the interval or enabling it starts the
// countdown again.

#include <functional>

namespace mirvok {

class Host;

class Timer {
public:
    Timer(Host& host, int intervalMs, bool enabled);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    bool Enabled() const { return enabled_; }
    int Interval() const { return intervalMs_; }
    void SetEnabled(bool enabled);
    void SetInterval(int intervalMs);

    // Stop, set the interval, start: the restart the reception time-out uses.
    void Restart(int intervalMs);

    std::function<void()> OnTick;

    // Called by the host when the interval has elapsed. A tick handler that is
    // still running (inside a message box) is not entered a second time.
    void Fire();

private:
    Host& host_;
    int intervalMs_;
    bool enabled_;
    bool firing_ = false;
};

}  // namespace mirvok
