#include "StopSignal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace mirvok {
namespace {

int g_wakeUp[2] = {-1, -1};

// Only what is safe in a handler: one write to a pipe.
void Handler(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_wakeUp[1], &byte, 1);
}

}  // namespace

void OnStopSignal(QObject* owner, std::function<void()> stop) {
    if (pipe(g_wakeUp) != 0) return;
    for (const int fd : g_wakeUp) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    auto* notifier = new QSocketNotifier(g_wakeUp[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [stop = std::move(stop)] {
        char buffer[64];
        while (read(g_wakeUp[0], buffer, sizeof buffer) > 0) {
        }
        stop();
    });
    struct sigaction action = {};
    action.sa_handler = Handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

}  // namespace mirvok
